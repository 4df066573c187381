#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/ChatMessage.h"

namespace vlo {

// Follows the hub's rows from one snapshot to the next: which rows are new and which rows seen
// before have been deleted since. Not thread-safe; each follower keeps its own.
class RowTracker {
 public:
  // Which rows are followed; every row when empty.
  using Filter = std::function<bool(const plx::ChatRow& row)>;
  // What becomes of a row that is already deleted when it is first seen (it came and went
  // between two snapshots).
  enum class EarlyDeleted { Skip, Report };

  struct Changes {
    std::vector<const plx::ChatRow*> added;    // into the snapshot given, oldest first
    std::vector<const plx::ChatRow*> removed;  // likewise: rows seen before and deleted since
    bool Empty() const { return added.empty() && removed.empty(); }
  };

  explicit RowTracker(Filter filter = {}, EarlyDeleted early = EarlyDeleted::Skip)
      : filter_{std::move(filter)}, early_{early} {}

  // Followed rows of `snapshot` not seen before, and rows seen before that are deleted now. With
  // EarlyDeleted::Report a row first seen deleted is in both lists. Rows that left the hub's
  // bound are forgotten without a removal.
  Changes Update(const std::vector<plx::ChatRow>& snapshot);
  void Reset() { seen_.clear(); }

 private:
  Filter filter_;
  EarlyDeleted early_;
  std::unordered_map<std::string, bool> seen_;  // id → deleted, of the last snapshot's rows
};

}  // namespace vlo
