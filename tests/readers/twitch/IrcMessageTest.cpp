#include <gtest/gtest.h>

#include <vector>

#include "readers/twitch/IrcMessage.h"
#include "tests/readers/twitch/TwitchPrint.h"

namespace vlo {
namespace {

struct Expected {
  std::vector<std::pair<std::string, std::string>> tags;
  std::string prefix;
  std::string command;
  std::vector<std::string> params;
  std::string trailing;
  bool hasTrailing{false};
};

void ExpectParsed(std::string_view line, const Expected& e) {
  SCOPED_TRACE(std::string{line});
  const auto m = ParseIrcLine(line);
  ASSERT_TRUE(m);
  ASSERT_EQ(m->TagCount(), e.tags.size());
  for (size_t i = 0; i < e.tags.size(); ++i) {
    EXPECT_EQ(m->TagAt(i).key, e.tags[i].first);
    EXPECT_EQ(m->TagAt(i).value, e.tags[i].second);
  }
  EXPECT_EQ(m->Prefix(), e.prefix);
  EXPECT_EQ(m->Command(), e.command);
  ASSERT_EQ(m->ParamCount(), e.params.size());
  for (size_t i = 0; i < e.params.size(); ++i) EXPECT_EQ(m->Param(i), e.params[i]);
  EXPECT_EQ(m->Trailing(), e.trailing);
  EXPECT_EQ(m->HasTrailing(), e.hasTrailing);
}

TEST(IrcMessage, ParsesLines) {
  ExpectParsed(
      "@badge-info=;badges=moderator/1;color=#1E90FF;display-name=Sam\\sB;emotes=25:0-4;"
      "id=abc;tmi-sent-ts=1700000000000 :sam!sam@sam.tmi.twitch.tv PRIVMSG #chan :Kappa hi\r\n",
      {{{"badge-info", ""},
        {"badges", "moderator/1"},
        {"color", "#1E90FF"},
        {"display-name", "Sam B"},
        {"emotes", "25:0-4"},
        {"id", "abc"},
        {"tmi-sent-ts", "1700000000000"}},
       "sam!sam@sam.tmi.twitch.tv",
       "PRIVMSG",
       {"#chan"},
       "Kappa hi",
       true});
  ExpectParsed("PING :tmi.twitch.tv", {{}, "", "PING", {}, "tmi.twitch.tv", true});
  ExpectParsed(":tmi.twitch.tv 001 justinfan123 :Welcome, GLHF!",
               {{}, "tmi.twitch.tv", "001", {"justinfan123"}, "Welcome, GLHF!", true});
  ExpectParsed(
      ":tmi.twitch.tv CAP * ACK :twitch.tv/tags twitch.tv/commands",
      {{}, "tmi.twitch.tv", "CAP", {"*", "ACK"}, "twitch.tv/tags twitch.tv/commands", true});
  ExpectParsed("@room-id=12;emote-only=0 :tmi.twitch.tv ROOMSTATE #chan",
               {{{"room-id", "12"}, {"emote-only", "0"}},
                "tmi.twitch.tv",
                "ROOMSTATE",
                {"#chan"},
                "",
                false});
  // Empty items are skipped, a bare key has an empty value, a later duplicate replaces the value
  // in the first one's place, and only the first "=" splits.
  ExpectParsed("@;a=1;;flag;a=2;b=x=y  :p   CMD   one  two   :  spaced :colon ",
               {{{"a", "2"}, {"flag", ""}, {"b", "x=y"}},
                "p",
                "CMD",
                {"one", "two"},
                "  spaced :colon ",
                true});
  ExpectParsed(":a!a@a PRIVMSG #c :", {{}, "a!a@a", "PRIVMSG", {"#c"}, "", true});
  ExpectParsed("RECONNECT", {{}, "", "RECONNECT", {}, "", false});
  ExpectParsed("@k=\\ :p PRIVMSG #c :\xF0\x9F\x98\x80 \xC3\xA9t\xC3\xA9",
               {{{"k", ""}}, "p", "PRIVMSG", {"#c"}, "\xF0\x9F\x98\x80 \xC3\xA9t\xC3\xA9", true});
}

TEST(IrcMessage, MalformedLinesAreSkipped) {
  const char* lines[] = {
      "",
      "\r\n",
      "\r\r\n\n",
      "   ",
      "@a=b",
      "@a=b ",
      "@a=b   \r\n",
      ":prefix-only",
      "@a=b :prefix-only",
      "@",
      ":",
      "@ :p",
  };
  for (const char* line : lines) {
    EXPECT_FALSE(ParseIrcLine(line)) << '"' << line << '"';
  }
}

TEST(IrcMessage, ReusedMessageForgetsThePreviousLine) {
  IrcMessage m;
  ASSERT_TRUE(ParseIrcLine("@a=1;b=2 :p PRIVMSG #c :text", m));
  ASSERT_TRUE(ParseIrcLine("PING :x", m));
  EXPECT_EQ(m, *ParseIrcLine("PING :x"));
  EXPECT_FALSE(m.HasTag("a"));
  EXPECT_FALSE(ParseIrcLine("@only-tags", m));
  // A copy owns its text.
  std::optional<IrcMessage> copy;
  {
    auto original = ParseIrcLine("@id=zz :p CMD :t");
    copy = *original;
  }
  EXPECT_EQ(copy->Tag("id"), "zz");
  EXPECT_EQ(copy->Trailing(), "t");
}

// The tag section is read sixteen bytes at a time: every split byte, escape and duplicate is
// tried at each offset of a block by shifting it behind a padding tag of growing length.
TEST(IrcMessage, TagsReadTheSameAtEveryOffset) {
  const std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>
      cases = {
          {"k=a\\sb\\:c;e=;f;k=z\\", {{"k", "z"}, {"e", ""}, {"f", ""}}},
          {"x=1=2;;y\\=3;x\\s=q", {{"x", "1=2"}, {"y\\", "3"}, {"x\\s", "q"}}},
          {"d=\\;d=\\n\\r\\q;=v", {{"d", "\n\rq"}, {"", "v"}}},
      };
  for (const auto& [tags, expected] : cases) {
    for (size_t pad = 0; pad < 40; ++pad) {
      const std::string line =
          "@pad=" + std::string(pad, 'p') + ";" + tags + " :n!n@n PRIVMSG #c :hi";
      SCOPED_TRACE(line);
      IrcMessage m;
      ASSERT_TRUE(ParseIrcLine(line, m));
      ASSERT_EQ(m.TagCount(), expected.size() + 1);
      EXPECT_EQ(m.TagAt(0).value, std::string(pad, 'p'));
      for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(m.TagAt(i + 1).key, expected[i].first);
        EXPECT_EQ(m.TagAt(i + 1).value, expected[i].second);
      }
      EXPECT_EQ(m.Trailing(), "hi");
      EXPECT_EQ(m, *ParseIrcLine(line));
    }
  }
}

TEST(IrcMessage, StandAloneMessageSurvivesMovesOfItsShortCopy) {
  auto original = ParseIrcLine("@a=b\\sc X :y");  // short enough to live inside the string
  std::vector<IrcMessage> moved;
  moved.push_back(std::move(*original));
  moved.reserve(8);  // moves the message again
  EXPECT_EQ(moved[0].Tag("a"), "b c");
  EXPECT_EQ(moved[0].Command(), "X");
  EXPECT_EQ(moved[0].Trailing(), "y");
}

}  // namespace
}  // namespace vlo
