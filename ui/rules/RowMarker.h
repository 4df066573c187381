#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/ChatMessage.h"
#include "ui/rules/ChatRules.h"

namespace vlo {

// The marks of the rows the window holds, worked out once per row and kept by row id, so that a
// refresh of a thousand rows runs the rules only on the rows that are new. Window thread only.
class RowMarker {
 public:
  // Marks every row again under the new rules; rows seen before stay seen.
  void SetRules(ChatRules rules);
  // The row's mark; `fresh` (when given) tells whether the row was never seen before, and
  // `newlyDeleted` whether it is deleted now and was not when last seen.
  const RowMark& Mark(const plx::ChatRow& row, bool* fresh = nullptr, bool* newlyDeleted = nullptr);
  // Forgets rows that are no longer held once the store has grown past twice `rows`.
  void Prune(const std::vector<plx::ChatRow>& rows);
  size_t Size() const { return marks_.size(); }

 private:
  struct Entry {
    RowMark mark;
    bool stale{true};  // the rules changed since the mark was made
    bool deleted{false};
  };
  ChatRules rules_;
  std::unordered_map<std::string, Entry> marks_;
};

}  // namespace vlo
