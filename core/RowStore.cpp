#include "core/RowStore.h"

#include <bit>
#include <cstring>
#include <utility>

namespace vlo {
namespace {

constexpr uint64_t kMul = 0x9E3779B97F4A7C15ULL;

uint64_t Load64(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}

uint64_t Load32(const char* p) {
  uint32_t word;
  std::memcpy(&word, p, 4);
  return word;
}

uint64_t Mix(uint64_t h, uint64_t word) {
  h = (h ^ word) * kMul;
  return h ^ (h >> 29);
}

// The keys are short ids (a few to a few dozen bytes), hashed eight bytes a step, the last step
// overlapping the one before; several times cheaper than std::hash's byte-oriented hash for them.
// The final steps spread every input bit into the low bits the tables index by.
uint64_t HashText(std::string_view text, uint64_t seed) {
  const char* p = text.data();
  const size_t n = text.size();
  uint64_t h = seed ^ (n * kMul);
  if (n >= 8) {
    for (size_t i = 0; i + 8 < n; i += 8) h = Mix(h, Load64(p + i));
    h = Mix(h, Load64(p + n - 8));
  } else if (n >= 4) {
    h = Mix(h, Load32(p) | (Load32(p + n - 4) << 32));
  } else if (n > 0) {
    const auto byte = [p](size_t i) { return static_cast<uint64_t>(static_cast<uint8_t>(p[i])); };
    h = Mix(h, byte(0) | (byte(n / 2) << 8) | (byte(n - 1) << 16));
  }
  h ^= h >> 32;
  h *= 0xD6E8FEB86659FD93ULL;
  return h ^ (h >> 32);
}

uint64_t HashKey(plx::PlatformId platform, std::string_view text) {
  return HashText(text, (static_cast<uint64_t>(platform) + 1) * kMul);
}

}  // namespace

RowStore::RowStore(size_t capacity)
    : capacity_{capacity}, mask_{std::bit_ceil(std::max<size_t>(capacity * 2, 16)) - 1} {
  ring_.reserve(capacity_);
  byId_.resize(mask_ + 1);
  byMessage_.resize(mask_ + 1);
  byAuthor_.resize(mask_ + 1);
}

uint64_t RowStore::HashId(std::string_view id) { return HashText(id, 0); }

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
  if (slot.newestOfMessage) Erase(Key::Message, slot.messageHash, seq);
  if (slot.newestOfAuthor) Erase(Key::Author, slot.authorHash, seq);
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
  slot.newestOfMessage = slot.newestOfAuthor = false;
  const plx::ChatRow& row = slot.row;
  if (!row.platformMessageId.empty()) {
    slot.messageHash = HashKey(row.platform, row.platformMessageId);
    slot.previousSameMessage = Link(Key::Message, slot.messageHash, seq, row.platformMessageId);
    slot.newestOfMessage = true;
    if (slot.previousSameMessage != 0) At(slot.previousSameMessage).newestOfMessage = false;
  }
  if (!row.authorId.empty()) {
    slot.authorHash = HashKey(row.platform, row.authorId);
    slot.previousSameAuthor = Link(Key::Author, slot.authorHash, seq, row.authorId);
    slot.newestOfAuthor = true;
    if (slot.previousSameAuthor != 0) At(slot.previousSameAuthor).newestOfAuthor = false;
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
