#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>

namespace vlo {

// The ids of the chat items the reader handed on lately, kept across discovery cycles: after a
// lost feed the live chat page embeds the latest items again, and those already shown must not
// come back as new rows (the hub only remembers the rows it still holds, and a busy chat on
// another platform may have pushed them out meanwhile). Bounded; reader thread only.
class SeenItems {
 public:
  explicit SeenItems(size_t capacity = 4096) : capacity_{capacity} {}

  // True the first time `id` is offered (and for an empty id, which cannot be told apart).
  bool FirstTime(std::string_view id);

 private:
  size_t capacity_;
  std::deque<std::string> order_;             // oldest first
  std::unordered_set<std::string_view> ids_;  // views of order_'s strings
};

}  // namespace vlo
