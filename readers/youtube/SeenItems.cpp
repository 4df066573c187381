#include "readers/youtube/SeenItems.h"

namespace vlo {

bool SeenItems::FirstTime(std::string_view id) {
  if (id.empty()) return true;
  if (ids_.contains(id)) return false;
  if (order_.size() >= capacity_) {
    ids_.erase(order_.front());
    order_.pop_front();
  }
  order_.emplace_back(id);
  ids_.insert(order_.back());
  return true;
}

}  // namespace vlo
