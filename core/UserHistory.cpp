#include "core/UserHistory.h"

#include <algorithm>

namespace vlo {

namespace {
// The bookkeeping an entry costs beside its text: the deque slot, the strings' own objects.
constexpr size_t kEntryOverhead{sizeof(UserHistory::Entry) + 32};
constexpr size_t kUserOverhead{256};
}  // namespace

std::string UserHistory::Key(plx::PlatformId platform, std::string_view authorId) {
  return std::to_string(static_cast<int>(platform)) + ":" + std::string{authorId};
}

size_t UserHistory::Cost(const Entry& entry) {
  return kEntryOverhead + entry.id.capacity() + entry.body.capacity();
}

void UserHistory::Add(const plx::ChatMessage& message) {
  if (!plx::IsViewerMessage(message) || message.authorId.empty()) return;
  const std::string key{Key(message.platform, message.authorId)};
  auto found{users_.find(key)};
  if (found == users_.end()) {
    order_.push_front(User{key, {}});
    found = users_.emplace(key, order_.begin()).first;
    bytes_ += kUserOverhead + 2 * key.capacity();
  } else {
    order_.splice(order_.begin(), order_, found->second);
  }
  User& user{*found->second};
  for (const Entry& entry : user.entries) {
    if (entry.id == message.id) return;
  }
  user.entries.push_back(Entry{message.id, message.timestampMs, message.body, false});
  bytes_ += Cost(user.entries.back());
  if (user.entries.size() > kPerUser) {
    bytes_ -= Cost(user.entries.front());
    user.entries.pop_front();
  }
  Evict();
}

void UserHistory::Evict() {
  // The author just heard from stays, even alone over the budget.
  while (bytes_ > budget_ && order_.size() > 1) {
    User& oldest{order_.back()};
    for (const Entry& entry : oldest.entries) bytes_ -= Cost(entry);
    bytes_ -= kUserOverhead + 2 * oldest.key.capacity();
    users_.erase(oldest.key);
    order_.pop_back();
  }
}

void UserHistory::MarkDeleted(plx::PlatformId platform, std::string_view authorId,
                              std::string_view id) {
  const auto found{users_.find(Key(platform, authorId))};
  if (found == users_.end()) return;
  for (Entry& entry : found->second->entries) {
    if (entry.id == id) entry.deleted = true;
  }
}

std::vector<UserHistory::Entry> UserHistory::Of(plx::PlatformId platform,
                                                std::string_view authorId) const {
  const auto found{users_.find(Key(platform, authorId))};
  if (found == users_.end()) return {};
  const std::deque<Entry>& entries{found->second->entries};
  return {entries.rbegin(), entries.rend()};
}

}  // namespace vlo
