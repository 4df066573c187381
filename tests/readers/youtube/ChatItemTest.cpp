#include <gtest/gtest.h>

#include "readers/youtube/ChatItem.h"

namespace vlo {
namespace {

constexpr int64_t kNow = 1'700'000'000'000;
using plx::PlatformId;

plx::ChatMessage Message(std::string id, std::string author, std::string body,
                         std::vector<std::string> tags, std::string authorId, int64_t time) {
  plx::ChatMessage m;
  m.id = "yt-" + id;
  m.platform = PlatformId::YouTube;
  m.author = std::move(author);
  m.body = std::move(body);
  m.timestampMs = time;
  m.tags = std::move(tags);
  m.authorId = std::move(authorId);
  m.platformMessageId = std::move(id);
  return m;
}

TEST(ParseYouTubeChatItem, Table) {
  struct Case {
    const char* name;
    const char* json;
    YouTubeItemResult expected;
  };
  const Case cases[] = {
      {"text message",
       R"({"id":"M1","snippet":{"type":"textMessageEvent","displayMessage":"hello",
           "publishedAt":"2024-05-01T12:00:00.500Z"},
           "authorDetails":{"displayName":"Ann","channelId":"UCann"}})",
       {Message("M1", "Ann", "hello", {}, "UCann", 1714564800500), {}}},
      {"roles in fixed order",
       R"({"id":"M2","snippet":{"displayMessage":"x"},"authorDetails":{"displayName":"Bo",
           "isVerified":true,"isChatSponsor":true,"isChatModerator":true,"isChatOwner":true}})",
       {Message("M2", "Bo", "x", {"broadcaster", "moderator", "member", "verified"}, "", kNow),
        {}}},
      {"owner and verified",
       R"({"id":"M3","snippet":{"displayMessage":"x"},"authorDetails":{"displayName":"Bo",
           "isChatOwner":true,"isVerified":true,"isChatModerator":"true"}})",
       {Message("M3", "Bo", "x", {"broadcaster", "verified"}, "", kNow), {}}},
      {"integer id and type",
       R"({"id":42,"snippet":{"type":7,"displayMessage":"x"},"authorDetails":{"displayName":"A"}})",
       {Message("42", "A", "x", {}, "", kNow), {}}},
      {"super chat also gives a message",
       R"({"id":"S","snippet":{"type":"superChatEvent","displayMessage":"$5.00 hi",
           "superChatDetails":{"amountDisplayString":"$5.00"}},"authorDetails":{"displayName":"A"}})",
       {Message("S", "A", "$5.00 hi", {}, "", kNow), {}}},
      {"no author name",
       R"({"id":"M","snippet":{"displayMessage":"x"},"authorDetails":{"channelId":"UC"}})",
       {}},
      {"no display message", R"({"id":"M","snippet":{},"authorDetails":{"displayName":"A"}})", {}},
      {"deletion",
       R"({"snippet":{"type":"messageDeletedEvent","messageDeletedDetails":{"deletedMessageId":"ABC"}}})",
       {{}, Removal{RemovalKind::Message, PlatformId::YouTube, "ABC"}}},
      {"deletion without id",
       R"({"snippet":{"type":"messageDeletedEvent","messageDeletedDetails":{}}})",
       {}},
      {"ban",
       R"({"snippet":{"type":"userBannedEvent","userBannedDetails":{"bannedUserDetails":{"channelId":"UCbad"}}},
           "authorDetails":{"displayName":"Mod"}})",
       {{}, Removal{RemovalKind::Author, PlatformId::YouTube, "UCbad"}}},
      {"chat ended",
       R"({"snippet":{"type":"chatEndedEvent","displayMessage":"x"},"authorDetails":{"displayName":"A"}})",
       {}},
      {"tombstone",
       R"({"snippet":{"type":"tombstone","displayMessage":"x"},"authorDetails":{"displayName":"A"}})",
       {}},
      {"not an object", "[1]", {}},
      {"not JSON", "{", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const YouTubeItemResult got = ParseYouTubeChatItem(c.json, kNow);
    EXPECT_EQ(got.removal, c.expected.removal);
    ASSERT_EQ(got.message.has_value(), c.expected.message.has_value());
    if (got.message) {
      EXPECT_EQ(*got.message, *c.expected.message);
    }
  }
}

TEST(ParseYouTubeChatItem, MissingOrEmptyIdTakesTheTime) {
  for (const char* json :
       {R"({"snippet":{"displayMessage":"x"},"authorDetails":{"displayName":"A"}})",
        R"({"id":"","snippet":{"displayMessage":"x"},"authorDetails":{"displayName":"A"}})"}) {
    const auto got = ParseYouTubeChatItem(json, kNow);
    ASSERT_TRUE(got.message) << json;
    EXPECT_EQ(got.message->id, "yt-1700000000000");
    EXPECT_EQ(got.message->platformMessageId, "");
  }
}

}  // namespace
}  // namespace vlo
