#include "ui/chatview/LayoutCache.h"

#include "core/TextRules.h"

namespace vlo {

std::string LayoutCache::Key(const plx::ChatRow& row) {
  return row.deleted ? row.id + "#d" : row.id;
}

uint64_t LayoutCache::Hash(const plx::ChatRow& row) { return Fnv1a64(Key(row)); }

const RowLayout* LayoutCache::Find(uint64_t hash) const {
  auto found{entries_.find(hash)};
  return found == entries_.end() ? nullptr : &found->second;
}

const RowLayout& LayoutCache::Store(uint64_t hash, RowLayout layout) {
  return entries_[hash] = std::move(layout);
}

void LayoutCache::MarkAllPending() {
  for (auto& [hash, layout] : entries_) layout.pending = true;
}

void LayoutCache::DropPending() {
  std::erase_if(entries_, [](const auto& entry) { return entry.second.pending; });
}

void LayoutCache::Prune(const std::vector<plx::ChatRow>& rows) {
  if (entries_.size() <= rows.size() + 300) return;
  std::unordered_map<uint64_t, RowLayout> kept;
  for (const plx::ChatRow& row : rows) {
    uint64_t hash{Hash(row)};
    auto found{entries_.find(hash)};
    if (found != entries_.end()) kept.emplace(hash, std::move(found->second));
  }
  entries_ = std::move(kept);
}

}  // namespace vlo
