#include <gtest/gtest.h>

#include "alerts/AlertEvent.h"

namespace vlo {
namespace {

using plx::PlatformId;

AlertEvent Event(PlatformId platform, AlertKind kind, std::string user, int32_t count = 0,
                 std::string amount = {}, std::string message = {}) {
  return {"x", platform, kind, std::move(user), count, std::move(amount), std::move(message), 0};
}

TEST(AlertText, EveryKindAndForm) {
  const auto tw = PlatformId::Twitch;
  const auto yt = PlatformId::YouTube;
  const auto kick = PlatformId::Kick;
  struct Case {
    AlertEvent event;
    const char* text;
  } cases[] = {
      {Event(kick, AlertKind::Follow, "amy"), "amy followed"},
      {Event(tw, AlertKind::Subscribe, "amy"), "amy subscribed"},
      {Event(tw, AlertKind::Subscribe, "amy", 0, "Prime"), "amy subscribed (Prime)"},
      {Event(tw, AlertKind::Resubscribe, "amy", 1), "amy resubscribed"},
      {Event(tw, AlertKind::Resubscribe, "amy", 5, "Tier 1"), "amy resubscribed for 5 months"},
      {Event(tw, AlertKind::GiftSub, "gifter", 3), "gifter gifted 3 subs"},
      {Event(tw, AlertKind::GiftSub, "gifter", 1), "gifter gifted a sub"},
      {Event(kick, AlertKind::GiftSub, "gifter", 1, {}, "bo"), "gifter gifted a sub to bo"},
      {Event(yt, AlertKind::GiftSub, "ann", 1), "ann gifted a membership"},
      {Event(yt, AlertKind::GiftSub, "ann", 10), "ann gifted 10 memberships"},
      {Event(tw, AlertKind::Cheer, "cy", 1, "1 bit"), "cy cheered 1 bit"},
      {Event(tw, AlertKind::Cheer, "cy"), "cy cheered bits"},
      {Event(yt, AlertKind::SuperChat, "sc", 0, "$5.00"), "sc sent a Super Chat ($5.00)"},
      {Event(yt, AlertKind::SuperChat, "sc"), "sc sent a Super Chat"},
      {Event(yt, AlertKind::SuperSticker, "st", 0, "€2"), "st sent a Super Sticker (€2)"},
      {Event(yt, AlertKind::SuperSticker, "st"), "st sent a Super Sticker"},
      {Event(yt, AlertKind::Membership, "m", 0, "Gold"), "m became a member (Gold)"},
      {Event(yt, AlertKind::Membership, "m"), "m became a member"},
      {Event(yt, AlertKind::Membership, "m", 1), "m has been a member for 1 month"},
      {Event(yt, AlertKind::Membership, "m", 12, "Gold"), "m has been a member for 12 months"},
      {Event(kick, AlertKind::Raid, "dan", 12), "dan is hosting with 12 viewers"},
      {Event(tw, AlertKind::Raid, "dan", 40), "dan raided with 40 viewers"},
      {Event(tw, AlertKind::Raid, "dan"), "dan raided"},
      {Event(kick, AlertKind::Gift, "cy", 100, "100 Kicks"), "cy sent 100 Kicks"},
      {Event(kick, AlertKind::Gift, "cy"), "cy sent a gift"},
      {Event(tw, AlertKind::Follow, ""), "Someone followed"},
      {Event(tw, static_cast<AlertKind>(42), "odd"), "odd"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AlertText(c.event), c.text) << AlertKindName(c.event.kind);
  }
}

TEST(AlertText, KindNamesAndTiers) {
  const char* names[] = {"follow",    "subscribe",    "resubscribe", "giftsub", "cheer",
                         "superchat", "supersticker", "membership",  "raid",    "gift"};
  for (int i = 0; i < 10; ++i) EXPECT_STREQ(AlertKindName(static_cast<AlertKind>(i)), names[i]);
  EXPECT_STREQ(AlertKindName(static_cast<AlertKind>(10)), "follow");
  EXPECT_STREQ(AlertKindName(static_cast<AlertKind>(-1)), "follow");

  EXPECT_EQ(TierName("Prime"), "Prime");
  EXPECT_EQ(TierName("1000"), "Tier 1");
  EXPECT_EQ(TierName("2000"), "Tier 2");
  EXPECT_EQ(TierName("3000"), "Tier 3");
  EXPECT_EQ(TierName("prime"), "");
  EXPECT_EQ(TierName(""), "");
}

}  // namespace
}  // namespace vlo
