#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "alerts/AlertDecoders.h"
#include "tests/alerts/AlertPrint.h"

namespace vlo {
namespace {

constexpr int64_t kNow = 1'700'000'000'500;

std::string Item(std::string type, std::string details, std::string extra = {}) {
  return R"({"kind":"youtube#liveChatMessage","id":"LC1",)" + extra + R"("snippet":{"type":")" +
         type + R"(","publishedAt":"2024-03-01T12:00:05.678Z",)" + details +
         R"(},"authorDetails":{"channelId":"UC1","displayName":"Ann"}})";
}

AlertEvent Yt(AlertKind kind, int32_t count = 0, std::string amount = {},
              std::string message = {}) {
  return {"yt-ev-LC1",       plx::PlatformId::YouTube, kind,         "Ann", count,
          std::move(amount), std::move(message),       1709294405000};
}

TEST(YouTubeAlert, DecodesEveryItemType) {
  struct Case {
    std::string item;
    std::optional<AlertEvent> expected;
  } cases[] = {
      {Item("superChatEvent", R"("superChatDetails":{"amountMicros":"5000000",)"
                              R"("amountDisplayString":"$5.00","userComment":"great"})"),
       Yt(AlertKind::SuperChat, 0, "$5.00", "great")},
      {Item("superStickerEvent",
            R"("superStickerDetails":{"amountDisplayString":"€2,00",)"
            R"("superStickerMetadata":{"stickerId":"s","altText":"A dancing cat"}})"),
       Yt(AlertKind::SuperSticker, 0, "€2,00", "A dancing cat")},
      {Item("newSponsorEvent", R"("newSponsorDetails":{"memberLevelName":"Gold"})"),
       Yt(AlertKind::Membership, 0, "Gold")},
      {Item("memberMilestoneChatEvent",
            R"("memberMilestoneChatDetails":{"memberMonth":12,"memberLevelName":"Gold",)"
            R"("userComment":"a year!"})"),
       Yt(AlertKind::Membership, 12, "Gold", "a year!")},
      {Item(
           "membershipGiftingEvent",
           R"("membershipGiftingDetails":{"giftMembershipsCount":1,"giftMembershipsLevelName":"G"})"),
       Yt(AlertKind::GiftSub, 1)},
      {Item("textMessageEvent", R"("displayMessage":"hi")"), std::nullopt},
      {"[]", std::nullopt},
      {"garbage", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeYouTubeAlert(c.item, kNow), c.expected) << c.item;
  }
}

TEST(YouTubeAlert, FallbacksForIdTimeAndUser) {
  const auto event = DecodeYouTubeAlert(
      R"({"snippet":{"type":"newSponsorEvent","publishedAt":"yesterday"},"authorDetails":5})",
      kNow);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->id, "yt-ev-1700000000500");
  EXPECT_EQ(event->timestamp, kNow);
  EXPECT_EQ(event->user, "");  // an empty user does not stop a YouTube alert
  EXPECT_EQ(AlertText(*event), "Someone became a member");

  const auto parsed = json::ParseObject(Item("newSponsorEvent", R"("x":1)"));
  EXPECT_EQ(DecodeYouTubeAlert(parsed, kNow), Yt(AlertKind::Membership));
}

}  // namespace
}  // namespace vlo
