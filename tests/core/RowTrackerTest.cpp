#include <gtest/gtest.h>

#include "core/RowTracker.h"

namespace vlo {
namespace {

plx::ChatRow Row(std::string id, std::vector<std::string> tags = {}, bool deleted = false) {
  plx::ChatRow row;
  row.id = std::move(id);
  row.tags = std::move(tags);
  row.deleted = deleted;
  return row;
}

std::vector<std::string> Ids(const std::vector<const plx::ChatRow*>& rows) {
  std::vector<std::string> ids;
  for (const plx::ChatRow* row : rows) ids.push_back(row->id);
  return ids;
}

using IdList = std::vector<std::string>;

TEST(RowTrackerTest, AddsNewRowsAndRemovesDeletedOnesOnce) {
  RowTracker tracker{[](const plx::ChatRow& row) { return !plx::HasTag(row, "system"); }};
  std::vector<plx::ChatRow> rows{Row("a"), Row("sys", {"system"}), Row("b", {}, true)};
  RowTracker::Changes first = tracker.Update(rows);
  // Filtered rows and rows deleted before they were ever seen are skipped.
  EXPECT_EQ(Ids(first.added), IdList{"a"});
  EXPECT_TRUE(first.removed.empty());

  rows.push_back(Row("c", {"event"}));
  rows[0].deleted = true;
  RowTracker::Changes second = tracker.Update(rows);
  EXPECT_EQ(Ids(second.added), IdList{"c"});
  EXPECT_EQ(Ids(second.removed), IdList{"a"});
  EXPECT_EQ(second.removed[0], &rows[0]);

  EXPECT_TRUE(tracker.Update(rows).Empty());
  // Rows that left the hub's bound go without a removal; a reset starts over.
  rows.erase(rows.begin());
  EXPECT_TRUE(tracker.Update(rows).Empty());
  tracker.Reset();
  EXPECT_EQ(Ids(tracker.Update(rows).added), IdList{"c"});
}

TEST(RowTrackerTest, ReportsRowsThatCameAndWentBetweenTwoLooks) {
  RowTracker tracker{{}, RowTracker::EarlyDeleted::Report};
  std::vector<plx::ChatRow> rows{Row("sys", {"system"}), Row("gone", {}, true), Row("b")};
  RowTracker::Changes changes = tracker.Update(rows);
  EXPECT_EQ(Ids(changes.added), (IdList{"sys", "gone", "b"}));
  EXPECT_EQ(Ids(changes.removed), IdList{"gone"});
  EXPECT_TRUE(tracker.Update(rows).Empty());
}

}  // namespace
}  // namespace vlo
