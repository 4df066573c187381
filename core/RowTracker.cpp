#include "core/RowTracker.h"

namespace vlo {

RowTracker::Changes RowTracker::Update(const std::vector<plx::ChatRow>& snapshot) {
  Changes changes;
  std::unordered_map<std::string, bool> next;
  next.reserve(snapshot.size());
  for (const plx::ChatRow& row : snapshot) {
    if (filter_ && !filter_(row)) continue;
    const auto before = seen_.find(row.id);
    if (before == seen_.end()) {
      if (!row.deleted) {
        changes.added.push_back(&row);
      } else if (early_ == EarlyDeleted::Report) {
        changes.added.push_back(&row);
        changes.removed.push_back(&row);
      }
    } else if (!before->second && row.deleted) {
      changes.removed.push_back(&row);
    }
    next.emplace(row.id, row.deleted);
  }
  seen_ = std::move(next);
  return changes;
}

}  // namespace vlo
