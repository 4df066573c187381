#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "alerts/AlertDecoders.h"
#include "tests/alerts/AlertPrint.h"

namespace vlo {
namespace {

constexpr int64_t kNow = 1'700'000'000'500;

AlertEvent Kick(std::string id, AlertKind kind, std::string user, int32_t count = 0,
                std::string amount = {}, std::string message = {}) {
  return {std::move(id),     plx::PlatformId::Kick, kind, std::move(user), count,
          std::move(amount), std::move(message),    kNow};
}

// Event names and data as the realtime service sends them.
TEST(KickAlert, DecodesServiceEvents) {
  struct Case {
    const char* name;
    const char* data;
    std::optional<AlertEvent> expected;
  } cases[] = {
      {"App\\Events\\SubscriptionEvent", R"({"chatroom_id":1,"username":"amy","months":1})",
       Kick("kick-ev-1700000000500-subscribe-amy", AlertKind::Subscribe, "amy", 1)},
      {"App\\Events\\SubscriptionEvent", R"({"chatroom_id":1,"username":"amy","months":5})",
       Kick("kick-ev-1700000000500-resubscribe-amy", AlertKind::Resubscribe, "amy", 5)},
      {"App\\Events\\SubscriptionEvent", R"({"id":"s9","username":"amy","months":"2"})",
       Kick("kick-ev-s9", AlertKind::Resubscribe, "amy", 2)},
      // The same subscription also arrives under this name; it must not become a second alert.
      {"App\\Events\\ChannelSubscriptionEvent",
       R"({"user_ids":[5],"username":"amy","channel_id":3})", std::nullopt},
      {"App\\Events\\GiftedSubscriptionsEvent",
       R"({"chatroom_id":1,"gifted_usernames":["bo"],"gifter_username":"gifter","gifter_total":4})",
       Kick("kick-ev-1700000000500-giftsub-gifter", AlertKind::GiftSub, "gifter", 1, {}, "bo")},
      {"App\\Events\\GiftedSubscriptionsEvent",
       R"({"gifted_usernames":["a","b","c"],"gifter_username":"gifter"})",
       Kick("kick-ev-1700000000500-giftsub-gifter", AlertKind::GiftSub, "gifter", 3)},
      {"App\\Events\\GiftedSubscriptionsEvent", R"({"gifter_username":"gifter"})",
       Kick("kick-ev-1700000000500-giftsub-gifter", AlertKind::GiftSub, "gifter", 1)},
      {"App\\Events\\GiftedSubscriptionsEvent", R"({"gifted_usernames":[7],"gifter_username":"g"})",
       Kick("kick-ev-1700000000500-giftsub-g", AlertKind::GiftSub, "g", 1)},
      {"App\\Events\\StreamHostEvent",
       R"({"chatroom_id":1,"optional_message":"hi all","number_viewers":12,"host_username":"dan"})",
       Kick("kick-ev-1700000000500-raid-dan", AlertKind::Raid, "dan", 12, {}, "hi all")},
      {"App\\Events\\StreamHostedEvent",
       R"({"message":{"id":"h1","numberOfViewers":30,"optionalMessage":"go!","createdAt":1},)"
       R"("user":{"id":4,"username":"eve","isSuperAdmin":false}})",
       Kick("kick-ev-h1", AlertKind::Raid, "eve", 30, {}, "go!")},
      {"KicksGifted",
       R"({"message":"gg","sender":{"id":1,"username":"cy","username_color":"#fff"},)"
       R"("gift":{"gift_id":"rose","name":"Rose","amount":100,"type":"BASIC"}})",
       Kick("kick-ev-1700000000500-gift-cy", AlertKind::Gift, "cy", 100, "100 Kicks", "gg")},
      {"KicksGifted", R"({"sender":{"username":"cy"},"gift":{"name":"Rose","amount":0}})",
       Kick("kick-ev-1700000000500-gift-cy", AlertKind::Gift, "cy", 0, "Rose")},
      {"App\\Events\\FollowersUpdated", R"({"followersCount":10,"username":"fan","followed":true})",
       Kick("kick-ev-1700000000500-follow-fan", AlertKind::Follow, "fan")},
      {"App\\Events\\FollowersUpdated", R"({"username":"fan","followed":false})", std::nullopt},
      {"App\\Events\\FollowersUpdated", R"({"username":"fan","followed":"true"})", std::nullopt},
      // Matched on the last segment exactly, never on an ending.
      {"App\\Events\\LuckyUsersWhoGotGiftSubscriptionsEvent",
       R"({"usernames":["x"],"gifter_username":"g"})", std::nullopt},
      {"App\\Events\\MySubscriptionEvent", R"({"username":"amy","months":1})", std::nullopt},
      {"App\\Events\\SubscriptionEvent", R"({"months":1})", std::nullopt},
      {"App\\Events\\SubscriptionEvent", R"([1,2])", std::nullopt},
      {"App\\Events\\SubscriptionEvent", "not json", std::nullopt},
      {"App\\Events\\ChatMessageEvent", R"({"id":"m","content":"hi"})", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeKickAlert(c.name, c.data, kNow), c.expected) << c.name << " " << c.data;
  }
}

TEST(KickAlert, DataAsJsonStringAndFieldConversions) {
  // Pusher sends the data member as a string holding the JSON object.
  const std::string data = R"("{\"username\":\"amy\",\"months\":3.9,\"id\":12}")";
  const auto fromText = DecodeKickAlert("App\\Events\\SubscriptionEvent", data, kNow);
  ASSERT_TRUE(fromText);
  EXPECT_EQ(fromText->id, "kick-ev-12");
  EXPECT_EQ(fromText->count, 3);  // a float is truncated
  EXPECT_EQ(fromText->kind, AlertKind::Resubscribe);

  const auto parsed = json::ParseAny(data);
  EXPECT_EQ(DecodeKickAlert("App\\Events\\SubscriptionEvent", parsed, kNow), fromText);
  EXPECT_FALSE(DecodeKickAlert("App\\Events\\SubscriptionEvent", json::Json(5), kNow));
}

}  // namespace
}  // namespace vlo
