#include <gtest/gtest.h>

#include <string>

#include "core/ChatHub.h"
#include "readers/youtube/FastContinuation.h"
#include "readers/youtube/ItemHandler.h"
#include "readers/youtube/PageChat.h"
#include "readers/youtube/SeenItems.h"

namespace vlo {
namespace {

struct Side {
  NoAccounts accounts;
  TestClock clock;
  ChatHub hub{accounts, clock};
  SeenItems seen;
};

std::string Answer(const std::string& actions,
                   const std::string& continuations =
                       R"([{"invalidationContinuationData":{"continuation":"N1"}}])") {
  return R"({"responseContext":{},"continuationContents":{"liveChatContinuation":{)"
         R"("continuations":)" +
         continuations + R"(,"actions":[)" + actions + "]}}}";
}

std::string Text(const std::string& renderer) {
  return R"({"addChatItemAction":{"item":{"liveChatTextMessageRenderer":)" + renderer + "}}}";
}

constexpr const char* kAnn =
    R"("authorName":{"simpleText":"Ann"},"authorExternalChannelId":"UCann",)"
    R"("timestampUsec":"1714564800500000")";

// Every case: HandleContinuationResponse leaves the same answer and rows as the general reader
// followed by the item handler, and the fast reader takes the case or leaves it as stated.
TEST(HandleContinuationResponse, MatchesTheGeneralReader) {
  struct Case {
    const char* name;
    std::string body;
    bool fast;  // whether the fast reader answers
    size_t rows;
  };
  const std::string ann = kAnn;
  const Case cases[] = {
      {"every action kind",
       Answer(Text(R"({"id":"A1",)" + ann + R"(,"authorBadges":[
                {"liveChatAuthorBadgeRenderer":{"icon":{"iconType":"OWNER"}}},
                {"liveChatAuthorBadgeRenderer":{"icon":{"iconType":"MODERATOR"}}},
                {"liveChatAuthorBadgeRenderer":{"icon":{"iconType":"CHECK_CIRCLE_THICK"}}},
                {"liveChatAuthorBadgeRenderer":{"customThumbnail":null}},
                {"other":{}}, 7],
              "message":{"runs":[{"text":"hi "},
                {"emoji":{"emojiId":"x","isCustomEmoji":true,"shortcuts":[":yt:"]}},
                {"emoji":{"emojiId":"😀","isCustomEmoji":false,"shortcuts":[":s:"]}},
                {"emoji":{"emojiId":12}},{"text":5},"run"]}})") +
              R"(,{"addChatItemAction":{"item":{"liveChatPaidMessageRenderer":{"id":"A2",)" + ann +
              R"(,"purchaseAmountText":{"simpleText":"$5.00"},"message":{"simpleText":"hey"}}}}},
              {"addChatItemAction":{"item":{"liveChatMembershipItemRenderer":{"id":"A3",)" +
              ann +
              R"(,"headerSubtext":{"simpleText":"Welcome"}}}}},
              {"removeChatItemAction":{"targetItemId":"A1"}},
              {"markChatItemsByAuthorAsDeletedAction":{"externalChannelId":"UCann"}},
              {"addLiveChatTickerItemAction":{"item":{}}})"),
       true, 5},
      {"the last of a repeated name wins",
       Answer(Text(R"({"id":"A1","id":"A2",)" + ann +
                   R"(,"message":{"simpleText":"one"},"message":{"simpleText":"two"}})")),
       true, 1},
      {"integers read as text",
       Answer(Text(R"({"id":42,"authorName":{"simpleText":"Ann"},"authorExternalChannelId":7,
                     "timestampUsec":1714564800500000,"message":{"simpleText":"x"}})"),
              R"([{"timedContinuationData":{"continuation":17}}])"),
       true, 1},
      {"a text renderer comes before the others",
       Answer(R"({"addChatItemAction":{"item":{"liveChatPaidMessageRenderer":{"id":"P",)" + ann +
              R"(},"liveChatTextMessageRenderer":{"id":"T",)" + ann +
              R"(,"message":{"simpleText":"x"}}}}})"),
       true, 1},
      {"no author, no time, no id",
       Answer(Text(R"({"message":{"simpleText":"x"}})") + "," +
              Text(R"({"authorName":{"simpleText":"Bo"},"message":{"simpleText":"y"}})")),
       true, 1},
      {"removals of odd shapes",
       Answer(R"({"addChatItemAction":7,"removeChatItemAction":{"targetItemId":"A1"}},
                 {"removeChatItemAction":"A1","markChatItemAsDeletedAction":{"targetItemId":"B"}},
                 {"removeChatItemByAuthorAction":{"externalChannelId":12}})"),
       true, 0},
      {"a fraction where a text is read",
       Answer(Text(R"({"id":1.5,)" + ann + R"(,"message":{"simpleText":"x"}})")), false, 1},
      {"a fraction in a converted item",
       Answer(R"({"addChatItemAction":{"item":{"liveChatPaidMessageRenderer":{"id":"P",)" + ann +
              R"(,"amount":2.5}}}})"),
       false, 1},
      {"a lone surrogate",
       Answer(Text(R"({"id":"A",)" + ann + R"(,"message":{"simpleText":"\ud800"}})")), false, 0},
      {"a raw control character",
       Answer(Text(R"({"id":"A",)" + ann + "\t" + R"(,"message":{"simpleText":"a)" + "\x01" +
                   R"("}})")),
       false, 0},
      {"the chat ended", R"({"responseContext":{}})", false, 0},
      {"not an answer", "[1,2]", false, 0},
      {"not JSON", "{", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadContinuationFast(c.body, 5).has_value(), c.fast);
    Side general;
    std::optional<std::string> expected;
    if (auto chat = ParseContinuationResponse(c.body)) {
      for (const std::string& item : chat->items)
        HandleYouTubeChatItem(general.hub, item, &general.seen);
      expected = chat->continuation;
    }
    Side fast;
    EXPECT_EQ(HandleContinuationResponse(fast.hub, c.body, &fast.seen), expected);
    const std::vector<plx::ChatRow> rows = fast.hub.Snapshot();
    EXPECT_EQ(rows, general.hub.Snapshot());
    EXPECT_EQ(rows.size(), c.rows);
  }
}

TEST(HandleContinuationResponse, BuildsTheRowAndDropsItemsSeenBefore) {
  Side side;
  const std::string body = Answer(Text(std::string{R"({"id":"A1",)"} + kAnn + R"(,"authorBadges":[
               {"liveChatAuthorBadgeRenderer":{"customThumbnail":{}}}],
               "message":{"runs":[{"text":"hi "},{"emoji":{"emojiId":"x","isCustomEmoji":true,
               "shortcuts":[":yt:"]}}]}})") +
                                  "," + Text(std::string{R"({"id":"A2",)"} + kAnn + "}"));
  EXPECT_EQ(HandleContinuationResponse(side.hub, body, &side.seen), "N1");
  const std::vector<plx::ChatRow> rows = side.hub.Snapshot();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].id, "yt-A1");
  EXPECT_EQ(rows[0].platform, plx::PlatformId::YouTube);
  EXPECT_EQ(rows[0].author, "Ann");
  EXPECT_EQ(rows[0].authorId, "UCann");
  EXPECT_EQ(rows[0].body, "hi :yt:");
  EXPECT_EQ(rows[0].timestampMs, 1'714'564'800'500);
  EXPECT_EQ(rows[0].tags, std::vector<std::string>{"member"});
  // A2 had no text and so made no item: it is not remembered as seen.
  EXPECT_FALSE(side.seen.FirstTime("A1"));
  EXPECT_TRUE(side.seen.FirstTime("A2"));
}

}  // namespace
}  // namespace vlo
