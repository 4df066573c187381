#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/ChatMessage.h"

namespace vlo {

// The hub's rows, oldest first, at most `capacity` of them, in a ring; with hash indexes by id,
// by (platform, platform message id) and by (platform, author id), so that adding at the bound
// and removing one message or one author's messages touch only the rows concerned. Each text is
// hashed once, when its row arrives. Not thread-safe: the hub's data lock guards it.
class RowStore {
 public:
  explicit RowStore(size_t capacity);

  size_t Size() const { return static_cast<size_t>(next_ - first_); }
  static uint64_t HashId(std::string_view id);
  bool ContainsId(std::string_view id, uint64_t idHash) const;
  // Appends the message as a live row, dropping the oldest row beyond the bound. Its id must
  // not be held already; `idHash` is HashId(message.id).
  void Push(plx::ChatMessage&& message, uint64_t idHash);

  // Marks deleted the live rows of `platform` whose platform message id (or author id) is `id`;
  // true when one changed. An empty id matches nothing.
  bool DeleteMessage(plx::PlatformId platform, std::string_view id);
  bool DeleteAuthor(plx::PlatformId platform, std::string_view id);

  // Calls f(row) for every row, oldest first.
  template <typename F>
  void ForEach(F&& f) {
    for (uint64_t seq = first_; seq != next_; ++seq) f(At(seq).row);
  }
  template <typename F>
  void ForEach(F&& f) const {
    for (uint64_t seq = first_; seq != next_; ++seq) f(At(seq).row);
  }

 private:
  // Rows are numbered in arrival order from 1; 0 stands for none.
  struct Slot {
    plx::ChatRow row;
    uint64_t idHash{0};
    uint64_t messageHash{0};          // of (platform, platformMessageId) when that id is non-empty
    uint64_t authorHash{0};           // of (platform, authorId) when that id is non-empty
    uint64_t previousSameMessage{0};  // the next older row with the same key, or 0
    uint64_t previousSameAuthor{0};
    // Whether the row is the newest of its key, the one its table names (a row leaving that is
    // not has no entry to erase).
    bool newestOfMessage{false};
    bool newestOfAuthor{false};
  };
  // Open addressing with linear probing: entries are row numbers with their key's hash.
  struct Entry {
    uint64_t hash{0};
    uint64_t seq{0};  // 0 = empty
  };
  enum class Key { Id, Message, Author };

  Slot& At(uint64_t seq) { return ring_[(seq - 1) % capacity_]; }
  const Slot& At(uint64_t seq) const { return ring_[(seq - 1) % capacity_]; }
  std::vector<Entry>& Table(Key key);
  const std::vector<Entry>& Table(Key key) const;
  bool Matches(Key key, uint64_t seq, plx::PlatformId platform, std::string_view text) const;
  // The entry of the key, or nullptr.
  Entry* Find(Key key, uint64_t hash, plx::PlatformId platform, std::string_view text);
  const Entry* Find(Key key, uint64_t hash, plx::PlatformId platform, std::string_view text) const;
  void Insert(Key key, uint64_t hash, uint64_t seq);
  // Removes the entry that names row `seq`, if there is one.
  void Erase(Key key, uint64_t hash, uint64_t seq);
  // Files row `seq` under its key as the newest of its chain; returns the previous newest.
  uint64_t Link(Key key, uint64_t hash, uint64_t seq, std::string_view text);
  void DropOldest();
  bool DeleteChain(Key key, plx::PlatformId platform, std::string_view id);

  size_t capacity_;
  std::vector<Slot> ring_;
  uint64_t first_{1};  // the oldest row's number
  uint64_t next_{1};   // the number the next row gets
  uint64_t mask_;
  std::vector<Entry> byId_;
  std::vector<Entry> byMessage_;
  std::vector<Entry> byAuthor_;
};

}  // namespace vlo
