#include <gtest/gtest.h>

#include "readers/youtube/ChatActions.h"

namespace vlo {
namespace {

using json::Json;

Json J(const char* text) { return Json::parse(text); }

TEST(RunsToText, Table) {
  struct Case {
    const char* json;
    const char* expected;
  };
  const Case cases[] = {
      {R"({"simpleText":"plain"})", "plain"},
      {R"({"simpleText":"wins","runs":[{"text":"x"}]})", "wins"},
      {R"({"runs":[{"text":"hi "},{"emoji":{"emojiId":"😀"}}]})", "hi 😀"},
      {R"({"runs":[{"emoji":{"emojiId":"UCx/abc","isCustomEmoji":true,"shortcuts":[":yt:",":b:"]}}]})",
       ":yt:"},
      // The shortcut counts only for custom emoji, and only when it is a string.
      {R"({"runs":[{"emoji":{"emojiId":"id1","isCustomEmoji":"true","shortcuts":[":yt:"]}}]})",
       "id1"},
      {R"({"runs":[{"emoji":{"emojiId":"id2","isCustomEmoji":true,"shortcuts":[7]}}]})", "id2"},
      {R"({"runs":[{"text":"a"},{"bold":true},{"text":5},{"text":"b"}]})", "ab"},
      {R"({"simpleText":3})", ""},
      {R"([{"text":"not an object"}])", ""},
      {R"("text")", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(RunsToText(J(c.json)), c.expected) << c.json;
}

TEST(UsecToIso, Table) {
  struct Case {
    const char* input;
    const char* expected;
  };
  const Case cases[] = {
      {"1714564800500000", "2024-05-01T12:00:00.500Z"},
      {"0", "1970-01-01T00:00:00.000Z"},
      {"999", "1970-01-01T00:00:00.000Z"},
      {"951825600123456", "2000-02-29T12:00:00.123Z"},
      {"9999999999999999999", "318857-05-20T17:46:39.999Z"},  // 19 digits still read
      {"10000000000000000000", ""},                           // 20 digits
      {"", ""},
      {"-1", ""},
      {"17145648005e5", ""},
      {" 1714564800500000", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(UsecToIso(c.input), c.expected) << c.input;
}

TEST(NumberInText, Table) {
  struct Case {
    const char* input;
    int64_t expected;
  };
  const Case cases[] = {
      {"1,234 members", 1234},
      {"Member for 6 months", 6},
      {"Sent 5 gift memberships", 5},
      {"no digits", 0},
      {"", 0},
      {"1.5 and 7", 15},
      {"12 then 34", 12},
      {"99999999999999999999", 999999},  // stops growing past 99999
  };
  for (const Case& c : cases) EXPECT_EQ(NumberInText(c.input), c.expected) << c.input;
}

// The renderer holder the page uses, around one renderer of `kind` with the common fields.
Json Holder(const char* kind, Json fields) {
  Json renderer = {{"id", "MSG1"},
                   {"timestampUsec", "1714564800500000"},
                   {"authorName", {{"simpleText", "Ann"}}},
                   {"authorExternalChannelId", "UCann"}};
  renderer.update(fields);
  return Json{{kind, renderer}};
}

struct RendererCase {
  const char* name;
  Json item;
  const char* type;
  const char* display;
  Json details;  // the type-specific snippet member, checked whole
  const char* detailsKey;
};

TEST(ConvertRenderer, EachKind) {
  const Json msg = {{"runs", {{{"text", "hi"}}}}};
  const RendererCase cases[] = {
      {"text", Holder("liveChatTextMessageRenderer", {{"message", msg}}), "textMessageEvent", "hi",
       nullptr, nullptr},
      {"paid without message",
       Holder("liveChatPaidMessageRenderer", {{"purchaseAmountText", {{"simpleText", "$5.00"}}}}),
       "superChatEvent", "$5.00", J(R"({"amountDisplayString":"$5.00","userComment":""})"),
       "superChatDetails"},
      {"paid with message",
       Holder("liveChatPaidMessageRenderer",
              {{"purchaseAmountText", {{"simpleText", "$5.00"}}}, {"message", msg}}),
       "superChatEvent", "$5.00 hi", J(R"({"amountDisplayString":"$5.00","userComment":"hi"})"),
       "superChatDetails"},
      {"sticker",
       Holder("liveChatPaidStickerRenderer",
              {{"purchaseAmountText", {{"simpleText", "€2"}}},
               {"sticker", J(R"({"accessibility":{"accessibilityData":{"label":"a cat"}}})")}}),
       "superStickerEvent", "€2 a cat",
       J(R"({"amountDisplayString":"€2","superStickerMetadata":{"altText":"a cat"}})"),
       "superStickerDetails"},
      {"sticker without label",
       Holder("liveChatPaidStickerRenderer", {{"purchaseAmountText", {{"simpleText", "€2"}}}}),
       "superStickerEvent", "€2",
       J(R"({"amountDisplayString":"€2","superStickerMetadata":{"altText":""}})"),
       "superStickerDetails"},
      {"milestone",
       Holder("liveChatMembershipItemRenderer",
              {{"headerPrimaryText",
                J(R"({"runs":[{"text":"Member for "},{"text":"12"},{"text":" months"}]})")},
               {"headerSubtext", {{"simpleText", "Gold"}}},
               {"message", J(R"({"runs":[{"text":"yay"}]})")}}),
       "memberMilestoneChatEvent", "Member for 12 months: yay",
       J(R"({"memberMonth":12,"memberLevelName":"Gold","userComment":"yay"})"),
       "memberMilestoneChatDetails"},
      {"new member with level",
       Holder("liveChatMembershipItemRenderer",
              {{"headerSubtext", J(R"({"runs":[{"text":"Welcome to "},{"text":"Gold"}]})")}}),
       "newSponsorEvent", "Welcome to Gold", J(R"({"memberLevelName":""})"), "newSponsorDetails"},
      {"new member bare", Holder("liveChatMembershipItemRenderer", Json::object()),
       "newSponsorEvent", "New member", J(R"({"memberLevelName":""})"), "newSponsorDetails"},
      {"gift",
       Holder("liveChatSponsorshipsGiftPurchaseAnnouncementRenderer",
              {{"header", J(R"({"liveChatSponsorshipsHeaderRenderer":
                    {"primaryText":{"runs":[{"text":"Sent 5 gift memberships"}]}}})")}}),
       "membershipGiftingEvent", "Sent 5 gift memberships", J(R"({"giftMembershipsCount":5})"),
       "membershipGiftingDetails"},
      {"gift without digits",
       Holder("liveChatSponsorshipsGiftPurchaseAnnouncementRenderer", Json::object()),
       "membershipGiftingEvent", "Gifted memberships", J(R"({"giftMembershipsCount":1})"),
       "membershipGiftingDetails"},
  };
  for (const RendererCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<Json> item = ConvertRenderer(c.item);
    ASSERT_TRUE(item);
    const Json& snippet = (*item)["snippet"];
    EXPECT_EQ((*item)["id"], "MSG1");
    EXPECT_EQ(snippet["type"], c.type);
    EXPECT_EQ(snippet["displayMessage"], c.display);
    EXPECT_EQ(snippet["publishedAt"], "2024-05-01T12:00:00.500Z");
    if (c.detailsKey) {
      EXPECT_EQ(snippet[c.detailsKey], c.details);
    }
    EXPECT_EQ((*item)["authorDetails"]["displayName"], "Ann");
    EXPECT_EQ((*item)["authorDetails"]["channelId"], "UCann");
  }
}

TEST(ConvertRenderer, NoItem) {
  const Json cases[] = {
      Holder("liveChatTextMessageRenderer", Json::object()),  // no text
      Holder("liveChatTextMessageRenderer", {{"message", {{"runs", Json::array()}}}}),
      Holder("liveChatViewerEngagementMessageRenderer", {{"message", {{"simpleText", "x"}}}}),
      J(R"({"liveChatTextMessageRenderer":"not an object"})"),
      J("[]"),
  };
  for (const Json& c : cases) EXPECT_FALSE(ConvertRenderer(c)) << c.dump();
}

TEST(ConvertRenderer, AuthorBadges) {
  const Json badges = J(R"([
    {"liveChatAuthorBadgeRenderer":{"icon":{"iconType":"OWNER"}}},
    {"liveChatAuthorBadgeRenderer":{"icon":{"iconType":"CHECK_CIRCLE_THICK"}}},
    {"liveChatAuthorBadgeRenderer":{"customThumbnail":{"thumbnails":[]},"tooltip":"Member"}},
    {"somethingElse":{"icon":{"iconType":"MODERATOR"}}}
  ])");
  const auto item =
      ConvertRenderer(Holder("liveChatTextMessageRenderer",
                             {{"message", {{"simpleText", "x"}}}, {"authorBadges", badges}}));
  ASSERT_TRUE(item);
  EXPECT_EQ((*item)["authorDetails"], J(R"({"channelId":"UCann","displayName":"Ann",
      "isChatModerator":false,"isChatOwner":true,"isChatSponsor":true,"isVerified":true})"));
}

TEST(ConvertRenderer, GiftTakesTheGifterFromTheHeader) {
  const Json item = J(R"({"liveChatSponsorshipsGiftPurchaseAnnouncementRenderer":{
      "id":7,"authorExternalChannelId":"UCgift",
      "header":{"liveChatSponsorshipsHeaderRenderer":{
        "authorName":{"simpleText":"Gifter"},"primaryText":{"simpleText":"Sent 20 Gold gifts"}}}}})");
  const auto converted = ConvertRenderer(item);
  ASSERT_TRUE(converted);
  EXPECT_EQ((*converted)["id"], "7");  // integers read as decimal text
  EXPECT_EQ((*converted)["authorDetails"]["displayName"], "Gifter");
  EXPECT_EQ((*converted)["authorDetails"]["channelId"], "UCgift");
  EXPECT_EQ((*converted)["snippet"]["membershipGiftingDetails"]["giftMembershipsCount"], 20);
}

TEST(ConvertChatActions, EachActionKindInOrder) {
  const Json actions = J(R"([
    {"addChatItemAction":{"item":{"liveChatTextMessageRenderer":{"id":"A","message":{"simpleText":"one"},
      "authorName":{"simpleText":"Ann"}}}}},
    {"removeChatItemAction":{"targetItemId":"X"}},
    {"markChatItemAsDeletedAction":{"targetItemId":"Y"}},
    {"removeChatItemByAuthorAction":{"externalChannelId":"C"}},
    {"markChatItemsByAuthorAsDeletedAction":{"externalChannelId":"D"}},
    {"addLiveChatTickerItemAction":{"item":{}}},
    {"addChatItemAction":{"item":{"liveChatPlaceholderItemRenderer":{"id":"P"}}}},
    "garbage", 5
  ])");
  std::vector<std::string> items;
  ConvertChatActions(actions, items);
  ASSERT_EQ(items.size(), 5u);
  EXPECT_EQ(J(items[0].c_str())["snippet"]["displayMessage"], "one");
  EXPECT_EQ(
      items[1],
      R"({"snippet":{"messageDeletedDetails":{"deletedMessageId":"X"},"type":"messageDeletedEvent"}})");
  EXPECT_EQ(J(items[2].c_str())["snippet"]["messageDeletedDetails"]["deletedMessageId"], "Y");
  EXPECT_EQ(
      items[3],
      R"({"snippet":{"type":"userBannedEvent","userBannedDetails":{"bannedUserDetails":{"channelId":"C"}}}})");
  EXPECT_EQ(J(items[4].c_str())["snippet"]["userBannedDetails"]["bannedUserDetails"]["channelId"],
            "D");

  items.clear();
  ConvertChatActions(J(R"({"addChatItemAction":{}})"), items);  // not an array
  EXPECT_TRUE(items.empty());
}

}  // namespace
}  // namespace vlo
