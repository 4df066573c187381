#include <gtest/gtest.h>

#include <set>

#include "alerts/AlertDecoders.h"
#include "readers/twitch/TwitchParsers.h"
#include "sim/twitch/TwitchLines.h"
#include "sim/twitch/TwitchTraffic.h"

namespace vlo {
namespace {

// Code point at `index` onwards, `length` code points, of a UTF-8 text.
std::string CodePointSlice(std::string_view text, size_t index, size_t length) {
  size_t cp{0};
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((text[i] & 0xC0) != 0x80) ++cp;
    if (cp > index && cp <= index + length) out += text[i];
  }
  return out;
}

// Every generated line is one the reader understands, and what it carries survives the round
// trip: emote positions point at the emote words, escaped tag values come back unescaped.
TEST(TwitchTraffic, GeneratedLinesRoundTripThroughTheReaderParsers) {
  sim::TwitchTraffic traffic{{"chan", "1234"}, 7};
  std::set<std::string> commands;
  std::set<std::string> alertKinds;
  int rows{0};
  int nonAscii{0};
  int emotes{0};
  for (int step = 0; step < 3000; ++step) {
    for (const std::string& line : traffic.Next(1'700'000'000'000 + step)) {
      const auto m = ParseIrcLine(line);
      ASSERT_TRUE(m) << line;
      commands.insert(std::string{m->Command()});
      if (auto alert = DecodeTwitchAlert(line, 1)) alertKinds.insert(AlertKindName(alert->kind));
      const auto row =
          m->Command() == "PRIVMSG" ? ParseTwitchPrivmsg(*m, 1) : ParseTwitchAnnouncement(*m, 1);
      if (m->Command() == "PRIVMSG") {
        ASSERT_TRUE(row) << line;
      }
      if (!row) continue;
      ++rows;
      EXPECT_EQ(row->timestampMs, 1'700'000'000'000 + step);
      if (std::any_of(row->body.begin(), row->body.end(), [](char c) { return c & 0x80; })) {
        ++nonAscii;
      }
      for (const auto& tag : row->tags) {
        if (!tag.starts_with("emotes=")) continue;
        // "id:a-b,c-d/id2:e-f": each range names a known emote word of the body.
        std::string_view list = std::string_view{tag}.substr(7);
        while (!list.empty()) {
          const size_t slash = list.find('/');
          std::string_view entry = list.substr(0, slash);
          list = slash == std::string_view::npos ? std::string_view{} : list.substr(slash + 1);
          std::string_view ranges = entry.substr(entry.find(':') + 1);
          while (!ranges.empty()) {
            const size_t comma = ranges.find(',');
            const std::string range{ranges.substr(0, comma)};
            ranges =
                comma == std::string_view::npos ? std::string_view{} : ranges.substr(comma + 1);
            const size_t a = std::stoul(range);
            const size_t b = std::stoul(range.substr(range.find('-') + 1));
            const std::string word = CodePointSlice(row->body, a, b - a + 1);
            EXPECT_TRUE(word == "Kappa" || word == "PogChamp" || word == "LUL" || word == "Keepo" ||
                        word == "BibleThump" || word == "SeemsGood")
                << word << " in " << row->body;
            ++emotes;
          }
        }
      }
    }
  }
  EXPECT_EQ(commands, (std::set<std::string>{"PRIVMSG", "USERNOTICE", "CLEARMSG", "CLEARCHAT"}));
  EXPECT_EQ(alertKinds,
            (std::set<std::string>{"subscribe", "resubscribe", "giftsub", "cheer", "raid"}));
  EXPECT_GT(emotes, 100);
  EXPECT_GT(nonAscii, rows / 5);
}

TEST(TwitchTraffic, SameSeedSameLines) {
  sim::TwitchTraffic a{{"chan", "1"}, 42};
  sim::TwitchTraffic b{{"chan", "1"}, 42};
  for (int i = 0; i < 200; ++i) ASSERT_EQ(a.Next(i), b.Next(i));
}

TEST(TwitchLines, EscapedTagValuesComeBack) {
  sim::TwitchViewer viewer{"sam", "Sam", "42", "#FF0000", "", "", false, false, false};
  sim::TwitchChat chat;
  chat.id = "r1";
  chat.text = "yes";
  chat.replyTo = &viewer;
  chat.replyParentId = "p1";
  chat.replyParentBody = "a;b c\\d";
  const auto m = ParseIrcLine(sim::TwitchPrivmsgLine({"chan", "1"}, viewer, chat));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Tag("reply-parent-msg-body"), "a;b c\\d");
  EXPECT_EQ(m->Trailing(), "@Sam yes");
}

}  // namespace
}  // namespace vlo
