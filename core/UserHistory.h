#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/ChatMessage.h"

namespace vlo {

// What each viewer said since the program started, kept beyond the chat's row bound for the user
// card: the last kPerUser messages of every author, within a fixed memory budget; when the budget
// is reached, the authors heard from longest ago are forgotten first. Not thread-safe: the window
// thread owns it.
class UserHistory {
 public:
  static constexpr size_t kPerUser{100};
  static constexpr size_t kDefaultBudgetBytes{8 << 20};

  struct Entry {
    std::string id;
    int64_t timestampMs{0};
    std::string body;
    bool deleted{false};
  };

  explicit UserHistory(size_t budgetBytes = kDefaultBudgetBytes) : budget_{budgetBytes} {}

  // Adds a viewer message (others are ignored); a row already held is not added twice.
  void Add(const plx::ChatMessage& message);
  // Marks a held message deleted (the chat's row was deleted).
  void MarkDeleted(plx::PlatformId platform, std::string_view authorId, std::string_view id);
  // The author's messages, newest first.
  std::vector<Entry> Of(plx::PlatformId platform, std::string_view authorId) const;

  size_t Users() const { return users_.size(); }
  size_t Bytes() const { return bytes_; }

 private:
  struct User {
    std::string key;
    std::deque<Entry> entries;  // oldest first
  };
  static std::string Key(plx::PlatformId platform, std::string_view authorId);
  static size_t Cost(const Entry& entry);
  void Evict();

  size_t budget_;
  size_t bytes_{0};
  std::list<User> order_;  // most recently heard first
  std::unordered_map<std::string, std::list<User>::iterator> users_;
};

}  // namespace vlo
