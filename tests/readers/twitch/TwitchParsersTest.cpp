#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "readers/twitch/TwitchParsers.h"
#include "tests/readers/twitch/TwitchPrint.h"

namespace vlo {
namespace {

using plx::ChatMessage;
constexpr int64_t kNow = 1'700'000'999'000;

ChatMessage Row(std::string msgId, std::string author, std::string body, int64_t ts,
                std::vector<std::string> tags, std::string authorId = "42") {
  ChatMessage m;
  m.id = msgId.empty() ? std::string{} : "tw-" + msgId;
  m.platform = plx::PlatformId::Twitch;
  m.author = std::move(author);
  m.body = std::move(body);
  m.timestampMs = ts;
  m.tags = std::move(tags);
  m.authorId = std::move(authorId);
  m.platformMessageId = std::move(msgId);
  return m;
}

std::optional<ChatMessage> Privmsg(std::string_view line) {
  const auto m = ParseIrcLine(line);
  return m ? ParseTwitchPrivmsg(*m, kNow) : std::nullopt;
}

TEST(TwitchPrivmsg, BuildsRows) {
  struct Case {
    const char* name;
    std::string line;
    std::optional<ChatMessage> expected;
  } cases[] = {
      {"full tag set",
       "@badge-info=subscriber/14;badges=broadcaster/1,vip/1,subscriber/12,premium/1;"
       "client-nonce=9f;color=#1E90FF;display-name=Sam;emotes=25:0-4,12-16/1902:6-10;"
       "first-msg=0;flags=;id=b1e2;mod=0;returning-chatter=0;room-id=7;subscriber=1;"
       "tmi-sent-ts=1700000000123;turbo=0;user-id=42;user-type= "
       ":sam!sam@sam.tmi.twitch.tv PRIVMSG #chan :Kappa Keepo Kappa\r\n",
       Row("b1e2", "Sam", "Kappa Keepo Kappa", 1700000000123,
           {"broadcaster", "vip", "subscriber", "color=#1E90FF", "emotes=25:0-4,12-16/1902:6-10"})},
      {"badge order with founder as subscriber",
       "@badges=founder/0,moderator/1;first-msg=1;id=x1;user-id=42 :a!a@a PRIVMSG #c :hi",
       Row("x1", "a", "hi", kNow, {"subscriber", "moderator", "first"})},
      {"no id: time and login; display name falls back to login",
       "@display-name=;user-id=42 :sam!sam@sam.tmi.twitch.tv PRIVMSG #c :yo",
       [] {
         auto r = Row("", "sam", "yo", kNow, {});
         r.id = "tw-1700000999000-sam";
         return r;
       }()},
      {"action keeps its emote positions",
       "@display-name=Sam;emotes=25:6-10;id=a1;user-id=42 :sam!s@s PRIVMSG #c "
       ":\x01"
       "ACTION waves Kappa\x01",
       Row("a1", "Sam", "waves Kappa", kNow, {"action", "emotes=25:6-10"})},
      {"action without the closing byte",
       "@id=a2;user-id=42 :s!s@s PRIVMSG #c :\x01"
       "ACTION hops",
       Row("a2", "s", "hops", kNow, {"action"})},
      {"empty action",
       "@id=a3 :s!s@s PRIVMSG #c :\x01"
       "ACTION \x01",
       std::nullopt},
      {"8-byte text is no action",
       "@id=a4;user-id=42 :s!s@s PRIVMSG #c :\x01"
       "ACTION ",
       Row("a4", "s",
           "\x01"
           "ACTION ",
           kNow, {})},
      {"colour must be # and six digits; sent time must be 1-15 digits",
       "@color=#FFF;id=c1;tmi-sent-ts=12345678901234567;user-id=42 :s!s@s PRIVMSG #c :a",
       Row("c1", "s", "a", kNow, {})},
      {"sent time with a sign is unusable", "@id=c2;tmi-sent-ts=-5;user-id=42 :s PRIVMSG #c :a",
       Row("c2", "s", "a", kNow, {})},
      {"escaped display name and non-ASCII body",
       "@display-name=\xE5\xB0\x8F\\s\xE6\x98\x8E;id=u1;user-id=42 :xm!x@x PRIVMSG #c "
       ":\xE4\xBD\xA0\xE5\xA5\xBD \xF0\x9F\x91\x8B",
       Row("u1", "\xE5\xB0\x8F \xE6\x98\x8E", "\xE4\xBD\xA0\xE5\xA5\xBD \xF0\x9F\x91\x8B", kNow,
           {})},
      {"empty text", "@id=e1 :s!s@s PRIVMSG #c :", std::nullopt},
      {"no trailing", "@id=e2 :s!s@s PRIVMSG #c", std::nullopt},
      {"other command", "@id=e3 :tmi.twitch.tv NOTICE #c :hello", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Privmsg(c.line), c.expected) << c.name;
  }
}

TEST(TwitchPrivmsg, AnnouncementIsAViewerRow) {
  const auto m = ParseIrcLine(
      "@badge-info=;badges=moderator/1;color=#8A2BE2;display-name=Mod;emotes=25:0-4;flags=;"
      "id=an1;login=mod;msg-id=announcement;msg-param-color=PRIMARY;room-id=7;"
      "system-msg=;tmi-sent-ts=1700000000500;user-id=42;user-type=mod "
      ":tmi.twitch.tv USERNOTICE #chan :Kappa giveaway at 8!\r");
  ASSERT_TRUE(m);
  EXPECT_EQ(ParseTwitchAnnouncement(*m, kNow),
            Row("an1", "Mod", "Kappa giveaway at 8!", 1700000000500,
                {"moderator", "color=#8A2BE2", "emotes=25:0-4"}));
  EXPECT_FALSE(ParseTwitchPrivmsg(*m, kNow));

  for (const char* other : {"@msg-id=sub;id=s :tmi.twitch.tv USERNOTICE #c :hi",
                            "@msg-id=announcement;id=s :tmi.twitch.tv USERNOTICE #c",
                            "@msg-id=announcement;id=s :s!s@s PRIVMSG #c :hi"}) {
    EXPECT_FALSE(ParseTwitchAnnouncement(*ParseIrcLine(other), kNow)) << other;
  }
}

TEST(TwitchClear, RemovalKinds) {
  using K = RemovalKind;
  const auto tw = plx::PlatformId::Twitch;
  struct Case {
    const char* line;
    std::optional<Removal> expected;
  } cases[] = {
      {"@login=sam;room-id=;target-msg-id=m-1;tmi-sent-ts=1 :tmi.twitch.tv CLEARMSG #c :bad",
       Removal{K::Message, tw, "m-1"}},
      {"@login=sam;target-msg-id= :tmi.twitch.tv CLEARMSG #c :bad", std::nullopt},
      {"@ban-duration=600;room-id=7;target-user-id=42;tmi-sent-ts=1 :tmi.twitch.tv CLEARCHAT #c "
       ":sam",
       Removal{K::Author, tw, "42"}},
      {"@room-id=7;target-user-id=42 :tmi.twitch.tv CLEARCHAT #c :sam",
       Removal{K::Author, tw, "42"}},
      {"@room-id=7 :tmi.twitch.tv CLEARCHAT #c :sam", std::nullopt},
      {"@room-id=7;tmi-sent-ts=1 :tmi.twitch.tv CLEARCHAT #c", Removal{K::Chat, tw, ""}},
      {":tmi.twitch.tv CLEARCHAT #c", Removal{K::Chat, tw, ""}},
      {"@target-msg-id=m :tmi.twitch.tv PRIVMSG #c :x", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseTwitchClear(*ParseIrcLine(c.line)), c.expected) << c.line;
  }
}

}  // namespace
}  // namespace vlo
