#include "core/RowStore.h"

#include <bit>
#include <functional>
#include <utility>

namespace vlo {
namespace {

uint64_t HashKey(plx::PlatformId platform, std::string_view text) {
  const uint64_t salt = (static_cast<uint64_t>(platform) + 1) * 0x9E3779B97F4A7C15ULL;
  return std::hash<std::string_view>{}(text) ^ salt;
}

}  // namespace

RowStore::RowStore(size_t capacity)
    : capacity_{capacity}, mask_{std::bit_ceil(std::max<size_t>(capacity * 2, 16)) - 1} {
  ring_.reserve(capacity_);
  byId_.resize(mask_ + 1);
  byMessage_.resize(mask_ + 1);
  byAuthor_.resize(mask_ + 1);
}

uint64_t RowStore::HashId(std::string_view id) { return std::hash<std::string_view>{}(id); }

std::vector<RowStore::Entry>& RowStore::Table(Key key) {
  return key == Key::Id ? byId_ : key == Key::Message ? byMessage_ : byAuthor_;
}

const std::vector<RowStore::Entry>& RowStore::Table(Key key) const {
  return key == Key::Id ? byId_ : key == Key::Message ? byMessage_ : byAuthor_;
}

bool RowStore::Matches(Key key, uint64_t seq, plx::PlatformId platform,
                       std::string_view text) const {
  const plx::ChatRow& row = At(seq).row;
  switch (key) {
    case Key::Id:
      return row.id == text;
    case Key::Message:
      return row.platform == platform && row.platformMessageId == text;
    case Key::Author:
      return row.platform == platform && row.authorId == text;
  }
  return false;
}

const RowStore::Entry* RowStore::Find(Key key, uint64_t hash, plx::PlatformId platform,
                                      std::string_view text) const {
  const std::vector<Entry>& table = Table(key);
  for (uint64_t i = hash & mask_;; i = (i + 1) & mask_) {
    const Entry& entry = table[i];
    if (entry.seq == 0) return nullptr;
    if (entry.hash == hash && Matches(key, entry.seq, platform, text)) return &entry;
  }
}

RowStore::Entry* RowStore::Find(Key key, uint64_t hash, plx::PlatformId platform,
                                std::string_view text) {
  return const_cast<Entry*>(std::as_const(*this).Find(key, hash, platform, text));
}

void RowStore::Insert(Key key, uint64_t hash, uint64_t seq) {
  std::vector<Entry>& table = Table(key);
  uint64_t i = hash & mask_;
  while (table[i].seq != 0) i = (i + 1) & mask_;
  table[i] = {hash, seq};
}

void RowStore::Erase(Key key, uint64_t hash, uint64_t seq) {
  std::vector<Entry>& table = Table(key);
  uint64_t hole = hash & mask_;
  while (table[hole].seq != seq) {
    if (table[hole].seq == 0) return;
    hole = (hole + 1) & mask_;
  }
  // Backward shift: move up every later entry of the run whose home is not between the hole
  // and its place, so that no probe meets an empty slot before its key.
  for (uint64_t i = (hole + 1) & mask_; table[i].seq != 0; i = (i + 1) & mask_) {
    const uint64_t home = table[i].hash & mask_;
    if (((i - home) & mask_) >= ((i - hole) & mask_)) {
      table[hole] = table[i];
      hole = i;
    }
  }
  table[hole] = {};
}

uint64_t RowStore::Link(Key key, uint64_t hash, uint64_t seq, std::string_view text) {
  const plx::PlatformId platform = At(seq).row.platform;
  if (Entry* newest = Find(key, hash, platform, text)) {
    return std::exchange(newest->seq, seq);
  }
  Insert(key, hash, seq);
  return 0;
}

bool RowStore::ContainsId(std::string_view id, uint64_t idHash) const {
  return Find(Key::Id, idHash, {}, id) != nullptr;
}

void RowStore::DropOldest() {
  const uint64_t seq = first_++;
  const Slot& slot = At(seq);
  Erase(Key::Id, slot.idHash, seq);
  // Only the newest row of a key is in its table; older ones are reached through the chain,
  // which ends where the rows left.
  if (!slot.row.platformMessageId.empty()) Erase(Key::Message, slot.messageHash, seq);
  if (!slot.row.authorId.empty()) Erase(Key::Author, slot.authorHash, seq);
}

void RowStore::Push(plx::ChatMessage&& message, uint64_t idHash) {
  if (capacity_ == 0) return;
  if (Size() == capacity_) DropOldest();
  const uint64_t seq = next_++;
  if (ring_.size() < capacity_) ring_.emplace_back();
  Slot& slot = At(seq);
  static_cast<plx::ChatMessage&>(slot.row) = std::move(message);
  slot.row.deleted = false;
  slot.idHash = idHash;
  Insert(Key::Id, idHash, seq);
  slot.previousSameMessage = slot.previousSameAuthor = 0;
  const plx::ChatRow& row = slot.row;
  if (!row.platformMessageId.empty()) {
    slot.messageHash = HashKey(row.platform, row.platformMessageId);
    slot.previousSameMessage = Link(Key::Message, slot.messageHash, seq, row.platformMessageId);
  }
  if (!row.authorId.empty()) {
    slot.authorHash = HashKey(row.platform, row.authorId);
    slot.previousSameAuthor = Link(Key::Author, slot.authorHash, seq, row.authorId);
  }
}

bool RowStore::DeleteChain(Key key, plx::PlatformId platform, std::string_view id) {
  if (id.empty()) return false;
  const Entry* newest = Find(key, HashKey(platform, id), platform, id);
  bool changed{false};
  for (uint64_t seq = newest ? newest->seq : 0; seq >= first_ && seq != 0;) {
    Slot& slot = At(seq);
    if (!slot.row.deleted) {
      slot.row.deleted = true;
      changed = true;
    }
    seq = key == Key::Message ? slot.previousSameMessage : slot.previousSameAuthor;
  }
  return changed;
}

bool RowStore::DeleteMessage(plx::PlatformId platform, std::string_view id) {
  return DeleteChain(Key::Message, platform, id);
}

bool RowStore::DeleteAuthor(plx::PlatformId platform, std::string_view id) {
  return DeleteChain(Key::Author, platform, id);
}

}  // namespace vlo
