#include "ui/rules/RowMarker.h"

#include <unordered_set>

namespace vlo {

void RowMarker::SetRules(ChatRules rules) {
  rules_ = std::move(rules);
  // Ids alone do not hold the rows; they are marked again when next asked for.
  for (auto& [id, entry] : marks_) entry.stale = true;
}

const RowMark& RowMarker::Mark(const plx::ChatRow& row, bool* fresh, bool* newlyDeleted) {
  auto [it, inserted] = marks_.try_emplace(row.id);
  Entry& entry{it->second};
  if (fresh) *fresh = inserted;
  if (newlyDeleted) *newlyDeleted = row.deleted && !entry.deleted;
  entry.deleted = entry.deleted || row.deleted;
  if (inserted || entry.stale) {
    entry.mark = rules_.Mark(row);
    entry.stale = false;
  }
  return entry.mark;
}

void RowMarker::Prune(const std::vector<plx::ChatRow>& rows) {
  if (marks_.size() <= 2 * rows.size() + 64) return;
  std::unordered_set<std::string_view> held;
  held.reserve(rows.size());
  for (const plx::ChatRow& row : rows) held.insert(row.id);
  std::erase_if(marks_, [&held](const auto& entry) { return !held.contains(entry.first); });
}

}  // namespace vlo
