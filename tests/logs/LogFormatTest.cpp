#include <gtest/gtest.h>

#include <cerrno>

#include "logs/LogFormat.h"

namespace vlo {
namespace {

plx::ChatRow Row(plx::PlatformId platform, std::string author, std::string body,
                 std::vector<std::string> tags = {}) {
  plx::ChatRow row;
  row.platform = platform;
  row.author = std::move(author);
  row.body = std::move(body);
  row.tags = std::move(tags);
  return row;
}

TEST(LogLineTest, MarksEachKindOfRowOnOneLine) {
  using plx::PlatformId;
  struct Case {
    plx::ChatRow row;
    std::string expected;
  };
  const std::vector<Case> cases{
      {Row(PlatformId::Twitch, "SomeUser", "hello there"),
       "23:04:11 [twitch] SomeUser: hello there"},
      {Row(PlatformId::Twitch, "lurker", "waves", {"action"}), "23:04:11 [twitch] * lurker waves"},
      {Row(PlatformId::Kick, "You", "thanks all", {"outbound", "kick"}),
       "23:04:11 [kick] [sent] You: thanks all"},
      {Row(PlatformId::YouTube, "Alert", "Ann became a member", {"event", "member"}),
       "23:04:11 [youtube] [alert] Ann became a member"},
      {Row(PlatformId::Twitch, "Velaro Chat", "Connected to #velaro", {"system"}),
       "23:04:11 [twitch] [system] Connected to #velaro"},
      {Row(PlatformId::Twitch, "", "no author"), "23:04:11 [twitch] no author"},
      // Line breaks, tabs and other controls never split a line; broken UTF-8 is replaced.
      {Row(PlatformId::Twitch, "Bad\nName",
           "one\r\ntwo\u2028three\xC2\x85"
           "four\tfive\x1b[31m"),
       "23:04:11 [twitch] Bad Name: one  two three four five [31m"},
      {Row(PlatformId::Kick, "x", "caf\xC3 \xFF ok \xF0\x9F\x91\x8B"),
       "23:04:11 [kick] x: caf\xEF\xBF\xBD \xEF\xBF\xBD ok \xF0\x9F\x91\x8B"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LogLine(c.row, c.row.platform, "23:04:11"), c.expected);
  }
  EXPECT_EQ(DeletionLine(cases[0].row, plx::PlatformId::Twitch, "23:05:00"),
            "23:05:00 [twitch] [deleted] SomeUser: hello there");
  // A long text stays whole.
  const std::string longText(100'000, 'a');
  EXPECT_EQ(LogLine(Row(PlatformId::Twitch, "A", longText), PlatformId::Twitch, "00:00:00"),
            "00:00:00 [twitch] A: " + longText);
}

TEST(LogLineTest, SentMessagesGoToEveryPlatformTheyWentTo) {
  using plx::PlatformId;
  EXPECT_EQ(LogPlatformsOf(Row(PlatformId::Kick, "You", "x", {"outbound", "twitch", "kick"})),
            (std::vector<PlatformId>{PlatformId::Twitch, PlatformId::Kick}));
  EXPECT_EQ(LogPlatformsOf(Row(PlatformId::YouTube, "Ann", "x", {"youtube"})),
            (std::vector<PlatformId>{PlatformId::YouTube}));
}

TEST(LogFileNameTest, NamesAreSafeAndShort) {
  struct Case {
    std::string name;
    std::string expected;
  };
  const std::vector<Case> cases{
      {"velarodemo", "velarodemo"},
      {"../../etc/passwd", "_._.._etc_passwd"},
      {".hidden", "_hidden"},
      {"a\\b\nc\x7f"
       "d",
       "a_b_c_d"},
      {"bad\xFFutf", "bad_utf"},
      {std::string(100, 'x'), std::string(64, 'x')},
  };
  for (const Case& c : cases) EXPECT_EQ(FileNameSafe(c.name), c.expected) << c.name;
  // Cut on a character boundary: 21 three-byte characters fit in 64 bytes.
  std::string wide;
  for (int i = 0; i < 30; ++i) wide += "\xE2\x82\xAC";  // €
  const std::string cut = FileNameSafe(wide);
  EXPECT_EQ(cut.size(), 63u);
  EXPECT_EQ(cut, wide.substr(0, 63));

  EXPECT_EQ(LogFileName(LogBaseName("2026-12-10", plx::PlatformId::Twitch, "velarodemo"), 1),
            "2026-12-10 twitch velarodemo.log");
  EXPECT_EQ(LogFileName(LogBaseName("2026-12-10", plx::PlatformId::Kick, ""), 3),
            "2026-12-10 kick (3).log");
}

TEST(LogFileNameTest, YouTubeIsNamedAfterItsTarget) {
  using plx::PlatformId;
  struct Case {
    std::string target;
    std::string expected;
  };
  const std::vector<Case> cases{
      {"https://www.youtube.com/watch?v=dQw4w9WgXcQ", "dQw4w9WgXcQ"},
      {" @SomeHandle ", "@SomeHandle"},
      {"https://www.youtube.com/channel/UCabcdefghijklmnopqrstuv", "UCabcdefghijklmnopqrstuv"},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LogChannel(ChatTargets{"", "", c.target}, PlatformId::YouTube), c.expected)
        << c.target;
  }
  EXPECT_EQ(LogChannel(ChatTargets{"velarodemo", "kickdemo", ""}, PlatformId::Kick), "kickdemo");
}

TEST(LogPausedTextTest, TellsTheCauseInPlainWords) {
  EXPECT_EQ(LogPausedText(ENOSPC, "/data/logs"),
            "Chat log: the disk is full, so logging is paused. The chat carries on here, and "
            "logging resumes by itself once there is space again.");
  EXPECT_EQ(LogPausedText(EACCES, "/data/logs"),
            "Chat log: the logs folder \"/data/logs\" cannot be written to, so logging is paused. "
            "The chat carries on here, and logging resumes by itself once it can be written to.");
  EXPECT_NE(LogPausedText(EIO, "/data/logs").find("Input/output error"), std::string::npos);
}

}  // namespace
}  // namespace vlo
