#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "readers/kick/KickEvent.h"
#include "readers/kick/KickMessage.h"

namespace vlo {
namespace {

using plx::PlatformId;

constexpr int64_t kNow = 1'700'000'000'123;

// Wraps a payload the way the service sends it: the data as JSON text inside a string.
std::string Frame(std::string_view event, const json::Json& payload) {
  return json::Dump({{"event", event}, {"data", json::Dump(payload)}});
}

json::Json SamPayload(std::string id) {
  return {{"id", std::move(id)},
          {"content", "hi [emote:1:Wave]"},
          {"sender",
           {{"username", "Sam"},
            {"id", 7},
            {"identity", {{"color", "#FF0000"}, {"badges", {{{"type", "og"}}}}}}}}};
}

TEST(KickEventTest, ChatMessageFrameGivesTheWholeMessage) {
  const KickEvent event =
      ParseKickEvent(Frame("App\\Events\\ChatMessageEvent", SamPayload("abc")), kNow);
  EXPECT_EQ(event.event, "App\\Events\\ChatMessageEvent");
  EXPECT_EQ(json::ParseAny(event.dataText), SamPayload("abc"));
  ASSERT_TRUE(event.message);
  const plx::ChatMessage& m = *event.message;
  EXPECT_EQ(m.id, "kick-abc");
  EXPECT_EQ(m.platform, PlatformId::Kick);
  EXPECT_EQ(m.author, "Sam");
  EXPECT_EQ(m.body, "hi Wave");
  EXPECT_EQ(m.authorId, "7");
  EXPECT_EQ(m.platformMessageId, "abc");
  EXPECT_EQ(m.tags, (std::vector<std::string>{"subscriber", "color=#FF0000", "kemote=1:Wave"}));
  EXPECT_EQ(m.timestampMs, kNow);
  EXPECT_FALSE(event.removal);
  EXPECT_TRUE(event.payload.is_null());
}

TEST(KickEventTest, MessageFieldVariants) {
  struct Case {
    const char* name;
    json::Json payload;
    std::string expectId;
    std::string expectBody;
    std::vector<std::string> expectTags;
    int64_t expectTime;
  };
  const auto sender = [](json::Json extra) {
    json::Json s = {{"username", "Sam"}, {"id", 7}};
    if (extra.is_object()) s.update(extra);
    return s;
  };
  const std::vector<Case> cases = {
      {"empty id falls back to time and author",
       {{"id", ""}, {"content", "yo"}, {"sender", sender({})}},
       "kick-1700000000123-Sam",
       "yo",
       {},
       kNow},
      {"integer id is decimal text",
       {{"id", 123456789012}, {"content", "yo"}, {"sender", sender({})}},
       "kick-123456789012",
       "yo",
       {},
       kNow},
      {"unclosed marker stays text and adds no emote",
       {{"id", "a"}, {"content", "gg [emote:55:Pog"}, {"sender", sender({})}},
       "kick-a",
       "gg [emote:55:Pog",
       {},
       kNow},
      {"repeated emote tagged once, badges in order, odd colour dropped",
       {{"id", "b"},
        {"content", "[emote:9:KEKW] [emote:9:KEKW][emote:3:LUL]"},
        {"created_at", "2024-05-01T12:00:00.5Z"},
        {"sender", sender({{"identity",
                            {{"color", "red"},
                             {"badges",
                              {{{"type", "vip"}},
                               {{"type", "sub_gifter"}},
                               {{"type", "broadcaster"}},
                               {{"type", "founder"}}}}}}})}},
       "kick-b",
       "KEKW KEKWLUL",
       {"vip", "broadcaster", "subscriber", "kemote=9:KEKW", "kemote=3:LUL"},
       1714564800500},
      {"unreadable created_at gives receipt time; slug when username empty",
       {{"id", "c"},
        {"content", "x"},
        {"created_at", "yesterday"},
        {"sender", {{"username", ""}, {"slug", "sam-s"}}}},
       "kick-c",
       "x",
       {},
       kNow},
      {"empty content falls back to message",
       {{"id", "d"}, {"content", ""}, {"message", "from message"}, {"sender", sender({})}},
       "kick-d",
       "from message",
       {},
       kNow},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const KickEvent event = ParseKickEvent(Frame("chat.message.sent", c.payload), kNow);
    ASSERT_TRUE(event.message);
    EXPECT_EQ(event.message->id, c.expectId);
    EXPECT_EQ(event.message->body, c.expectBody);
    EXPECT_EQ(event.message->tags, c.expectTags);
    EXPECT_EQ(event.message->timestampMs, c.expectTime);
  }
}

TEST(KickEventTest, RemovalsAndFramesThatGiveNothing) {
  struct Case {
    const char* name;
    std::string frame;
    std::optional<Removal> removal;
  };
  using R = RemovalKind;
  const auto kick = PlatformId::Kick;
  const std::vector<Case> cases = {
      {"deletion by message id",
       Frame("App\\Events\\MessageDeletedEvent", {{"id", "x"}, {"message", {{"id", "m1"}}}}),
       Removal{R::Message, kick, "m1"}},
      {"ban by user id (integer)",
       Frame("App\\Events\\UserBannedEvent", {{"user", {{"id", 77}, {"username", "troll"}}}}),
       Removal{R::Author, kick, "77"}},
      {"clear", Frame("App\\Events\\ChatroomClearEvent", {{"id", "q"}}),
       Removal{R::Chat, kick, ""}},
      {"data as an object, not a string",
       R"({"event":"App\\Events\\MessageDeletedEvent","data":{"message":{"id":"m2"}}})",
       Removal{R::Message, kick, "m2"}},
      {"deletion whose message is not an object",
       Frame("App\\Events\\MessageDeletedEvent", {{"message", "m1"}}), std::nullopt},
      {"pinned-message deletion is no chat deletion",
       Frame("App\\Events\\PinnedMessageDeletedEvent", {{"message", {{"id", "m1"}}}}),
       std::nullopt},
      {"a name that only ends like a chat event",
       Frame("App\\Events\\OtherUserBannedEvent", {{"user", {{"id", 1}}}}), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const KickEvent event = ParseKickEvent(c.frame, kNow);
    EXPECT_EQ(event.removal, c.removal);
    EXPECT_FALSE(event.message);
  }
}

TEST(KickEventTest, MalformedFramesGiveEmptyOrPartialEvents) {
  EXPECT_EQ(ParseKickEvent("not json", kNow), KickEvent{});
  EXPECT_EQ(ParseKickEvent("[1,2]", kNow), KickEvent{});
  EXPECT_EQ(ParseKickEvent("", kNow), KickEvent{});

  // Data text that does not parse: only the name and the text survive.
  const KickEvent broken =
      ParseKickEvent(R"({"event":"App\\Events\\ChatMessageEvent","data":"{\"id\":"})", kNow);
  EXPECT_EQ(broken.event, "App\\Events\\ChatMessageEvent");
  EXPECT_EQ(broken.dataText, "{\"id\":");
  EXPECT_FALSE(broken.message);
  EXPECT_TRUE(broken.payload.is_null());

  // Unknown events keep their payload for the alert decoder; numeric names become text.
  const KickEvent unknown = ParseKickEvent(R"({"event":42,"data":{"b":1,"a":[true]}})", kNow);
  EXPECT_EQ(unknown.event, "42");
  EXPECT_EQ(unknown.dataText, R"({"a":[true],"b":1})");
  EXPECT_FALSE(unknown.message);
  EXPECT_FALSE(unknown.removal);
  EXPECT_TRUE(unknown.payload.is_object());

  // Messages without text or author are dropped.
  for (const json::Json& payload :
       {json::Json{{"id", "a"}, {"content", ""}, {"sender", {{"username", "Sam"}}}},
        json::Json{{"id", "a"}, {"content", "hi"}, {"sender", "Sam"}}}) {
    EXPECT_FALSE(ParseKickEvent(Frame("App\\Events\\ChatMessageEvent", payload), kNow).message);
  }
}

TEST(KickEventTest, ReplaceEmoteMarkup) {
  const std::pair<std::string, std::string> cases[] = {
      {"hi [emote:101:KEKW] there", "hi KEKW there"},
      {"[emote:1:a][emote:2:b]", "ab"},
      {"end [emote:5:Pog", "end [emote:5:Pog"},
      {"[emote:5]x:y", "[emote:5]x:y"},            // "]" before ":" is not well formed
      {"[emote:x] [emote:7:Ok]", "[emote:x] Ok"},  // resumes right after a bad marker
      {"[emote::]", ""},                           // well formed, empty name
      {"plain text", "plain text"},
      {"", ""},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(ReplaceKickEmoteMarkup(input), expected) << input;
  }
}

// Text that only looks like markup: many markers that never close, or that all share one far
// "]". Both stay cheap (each position is searched for once) and form no oversized entries.
TEST(KickEventTest, MarkupLookalikesStayCheapAndSmall) {
  std::string unclosed;
  for (int i = 0; i < 100'000; ++i) unclosed += "[emote:";
  EXPECT_EQ(ReplaceKickEmoteMarkup(unclosed), unclosed);

  std::string shared;
  for (int i = 0; i < 50'000; ++i) shared += "[emote:1:";
  shared += "x]";
  json::Json payload = SamPayload("big");
  payload["content"] = shared + " [emote:2:" + std::string(129, 'n') + "] [emote:3:Ok]";
  const KickEvent event = ParseKickEvent(Frame("App\\Events\\ChatMessageEvent", payload), kNow);
  ASSERT_TRUE(event.message);
  // Each shared marker takes everything up to the "]" as its name, as any marker does; only the
  // last few are short enough to be emote entries, and the 129-character name is not one.
  const std::vector<std::string>& tags = event.message->tags;
  EXPECT_LT(tags.size(), 20u);
  for (const std::string& tag : tags) EXPECT_LE(tag.size(), 7u + 32 + 1 + 128);
  EXPECT_EQ(tags.back(), "kemote=3:Ok");
  EXPECT_EQ(std::count(tags.begin(), tags.end(), "kemote=1:x"), 1);
  EXPECT_TRUE(event.message->body.ends_with(" " + std::string(129, 'n') + " Ok"));
}

TEST(KickEventTest, LeafIsTextAfterLastBackslash) {
  EXPECT_EQ(KickEventLeaf("App\\Events\\ChatMessageEvent"), "ChatMessageEvent");
  EXPECT_EQ(KickEventLeaf("ChatMessageEvent"), "ChatMessageEvent");
  EXPECT_EQ(KickEventLeaf("a\\"), "");
}

// The fast chat frame reader answers only where it must agree with the general decoder, and
// leaves the rest to it; either way the frame decoder gives the general decoder's event.
TEST(KickEventTest, FastReaderAgreesOrStandsAside) {
  enum Fast { kDeclines, kAnswers, kEither };
  struct Case {
    const char* name;
    std::string dataText;
    Fast fast;
  };
  const std::string deep = std::string(70, '[') + std::string(70, ']');
  const std::vector<Case> cases = {
      {"usual", R"({"id":"a","content":"hi","sender":{"username":"Sam","id":7}})", kAnswers},
      {"repeated names: the last wins",
       R"({"content":"one","content":"two","sender":{"username":"A","username":"B"}})", kAnswers},
      {"surrogate pair", R"({"content":"\ud83d\udc10","sender":{"username":"S"}})", kAnswers},
      {"lone low surrogate", R"({"content":"\udc10 x","sender":{"username":"S"}})", kDeclines},
      {"lone high surrogate", R"({"content":"\ud83d x","sender":{"username":"S"}})", kDeclines},
      {"raw control character", "{\"content\":\"a\tb\",\"sender\":{\"username\":\"S\"}}",
       kDeclines},
      {"escaped control character", R"({"content":"a\tb","sender":{"username":"S"}})", kAnswers},
      {"fraction id", R"({"id":1.5,"content":"x","sender":{"username":"S"}})", kDeclines},
      {"negative zero id", R"({"id":-0,"content":"x","sender":{"username":"S"}})", kEither},
      {"id past 64 bits",
       R"({"id":123456789012345678901234,"content":"x","sender":{"username":"S"}})", kDeclines},
      {"largest unsigned id",
       R"({"id":18446744073709551615,"content":"x","sender":{"username":"S","id":-4}})", kAnswers},
      {"deep member", R"({"x":)" + deep + R"(,"content":"x","sender":{"username":"S"}})",
       kDeclines},
      {"time with fraction",
       R"({"content":"x","created_at":"2025-01-01T12:00:00.5+00:00","sender":{"slug":"s"}})",
       kAnswers},
      {"odd badges",
       R"({"content":"x","sender":{"username":"S","identity":{"color":"#ABCDEF","badges":[1,{"type":2},{"type":"vip"},{"type":"og","type":"moderator"}]}}})",
       kAnswers},
      {"no author", R"({"content":"x","sender":{"username":""}})", kAnswers},
      {"payload not an object", R"(["content"])", kDeclines},
      {"payload not JSON", R"({"content":)", kDeclines},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string frame =
        json::Dump({{"event", "App\\Events\\ChatMessageEvent"}, {"data", c.dataText}});
    const KickEvent reference = ParseKickEventDom(frame, kNow);
    EXPECT_EQ(ParseKickEvent(frame, kNow), reference);
    const auto fast = ParseKickChatFrame(frame, kNow);
    if (c.fast != kEither) {
      EXPECT_EQ(fast.has_value(), c.fast == kAnswers);
    }
    if (fast) {
      EXPECT_EQ(*fast, reference);
    }
  }
  // Spot checks of the general decoder's verdicts that the fast reader reproduces.
  const auto body = [](std::string dataText) {
    const std::string frame = json::Dump({{"event", "chat.message.sent"}, {"data", dataText}});
    const KickEvent event = ParseKickEvent(frame, kNow);
    return event.message ? event.message->author + ": " + event.message->body : std::string{};
  };
  EXPECT_EQ(body(cases[1].dataText), "B: two");
  EXPECT_EQ(body(cases[3].dataText), "");
  // A data member that is an object is read by the general decoder alone.
  const std::string objectData =
      R"({"event":"App\\Events\\ChatMessageEvent","data":{"content":"x","sender":{"username":"S"}}})";
  EXPECT_FALSE(ParseKickChatFrame(objectData, kNow));
  ASSERT_TRUE(ParseKickEvent(objectData, kNow).message);
}

}  // namespace
}  // namespace vlo
