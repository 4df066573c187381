#include <gtest/gtest.h>

#include "alerts/AddAlert.h"
#include "alerts/AlertDecoders.h"

namespace vlo {
namespace {

using plx::PlatformId;

class AddAlertTest : public ::testing::Test {
 protected:
  NoAccounts accounts;
  TestClock clock{1'700'000'000'000};
  ChatHub hub{accounts, clock};
};

TEST_F(AddAlertTest, BuildsTheAlertRow) {
  const auto event = DecodeKickAlert("App\\Events\\GiftedSubscriptionsEvent",
                                     R"({"gifted_usernames":["bo"],"gifter_username":"gifter"})",
                                     1'600'000'000'000);
  ASSERT_TRUE(event);
  AddAlert(hub, *event);
  const auto rows = hub.Snapshot();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].id, "ev-kick-ev-1600000000000-giftsub-gifter");
  EXPECT_EQ(rows[0].platform, PlatformId::Kick);
  EXPECT_EQ(rows[0].author, "Alert");
  EXPECT_EQ(rows[0].body, "gifter gifted a sub to bo \u2014 bo");
  EXPECT_EQ(rows[0].timestampMs, 1'600'000'000'000);
  EXPECT_EQ(rows[0].tags, (std::vector<std::string>{"event", "giftsub"}));
  EXPECT_EQ(rows[0].authorId, "");
  EXPECT_EQ(rows[0].platformMessageId, "");
  EXPECT_FALSE(plx::IsViewerMessage(rows[0]));
}

TEST_F(AddAlertTest, ZeroTimeTakesNowAndRepeatedIdShowsOnce) {
  AlertEvent event{"tw-ev-1", PlatformId::Twitch, AlertKind::Raid, "dan", 3, {}, {}, 0};
  AddAlert(hub, event);
  AddAlert(hub, event);
  const auto rows = hub.Snapshot();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].body, "dan raided with 3 viewers");
  EXPECT_EQ(rows[0].timestampMs, clock.NowMs());
  EXPECT_EQ(rows[0].tags, (std::vector<std::string>{"event", "raid"}));
}

TEST_F(AddAlertTest, SwitchedOffAddsNoRow) {
  hub.SetShowAlerts(false);
  const uint64_t revision = hub.Revision();
  AddAlert(hub, AlertEvent{"x", PlatformId::YouTube, AlertKind::SuperChat, "a", 0, "$1", "hi", 5});
  EXPECT_TRUE(hub.Snapshot().empty());
  EXPECT_EQ(hub.Revision(), revision);
}

}  // namespace
}  // namespace vlo
