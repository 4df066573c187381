#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "core/ChatSettings.h"
#include "core/Json.h"
#include "tests/TempDir.h"

namespace vlo {
namespace {

TEST(ChannelNames, Table) {
  struct Case {
    const char* input;
    std::optional<std::string> twitch;
    std::optional<std::string> kick;
  };
  const std::string n25(25, 'a');
  const std::string n26(26, 'a');
  const std::string n64(64, 'b');
  const Case cases[] = {
      {"  https://www.twitch.tv/SomeStreamer/videos?x=1  ", "somestreamer", std::nullopt},
      {"HTTP://WWW.KICK.COM/Some-Streamer?ref=a", std::nullopt, "some-streamer"},
      {"m.kick.com/trainwreck", std::nullopt, "trainwreck"},
      {"m.twitch.tv/shroud", "shroud", std::nullopt},
      {"@xqc", "xqc", "xqc"},
      {"#xqc", "xqc", "xqc"},
      {"//@#Name", "name", "name"},
      {"with-dash", std::nullopt, "with-dash"},
      {"under_score", "under_score", "under_score"},
      {"", "", ""},
      {"   ", "", ""},
      {"https://twitch.tv/", "", std::nullopt},
      {"name with space", std::nullopt, std::nullopt},
      {"naïve", std::nullopt, std::nullopt},
      {"x?y", "x", "x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NormaliseTwitchChannel(c.input), c.twitch) << c.input;
    if (c.kick) {
      EXPECT_EQ(NormaliseKickChannel(c.input), c.kick) << c.input;
    }
  }
  EXPECT_EQ(NormaliseTwitchChannel(n25), n25);
  EXPECT_EQ(NormaliseTwitchChannel(n26), std::nullopt);
  EXPECT_EQ(NormaliseKickChannel(n64), n64);
  EXPECT_EQ(NormaliseKickChannel(n64 + "b"), std::nullopt);
  // The Kick rule has its own prefix: a Twitch link is not a Kick name.
  EXPECT_EQ(NormaliseKickChannel("twitch.tv/abc"), std::nullopt);
}

TEST(ChatSettingsLoad, BadValuesTakeDefaultsAndKeepTheRest) {
  struct Case {
    const char* json;
    ChatSettings expected;
  };
  auto with = [](auto change) {
    ChatSettings s;
    change(s);
    return s;
  };
  const Case cases[] = {
      {R"({"opacity": 75})", {}},
      {R"({"opacity": 80})", with([](ChatSettings& s) { s.opacity = 80; })},
      {R"({"opacity": "80"})", {}},
      {R"({"textSize": 3})", {}},
      {R"({"textSize": 2})", with([](ChatSettings& s) { s.textSize = 2; })},
      {R"({"textSize": 1.5})", {}},
      {R"({"sendTarget": -1, "filter": 4, "nameStyle": 3})", {}},
      {R"({"sendTarget": 3, "filter": 2, "nameStyle": 2})",
       with([](ChatSettings& s) { s.sendTarget = 3, s.filter = 2, s.nameStyle = 2; })},
      {R"({"theme": "Neon"})", {}},
      {R"({"theme": "midnight"})", with([](ChatSettings& s) { s.theme = "midnight"; })},
      {R"({"theme": "abcdefghijklmnopqrstuvwxy"})", {}},
      {R"({"showAlerts": 0, "compact": "true", "alwaysOnTop": true})",
       with([](ChatSettings& s) { s.alwaysOnTop = true; })},
      {R"({"twitchChannel": "https://twitch.tv/Foo", "kickChannel": "bad name"})",
       with([](ChatSettings& s) { s.twitchChannel = "foo"; })},
      {R"({"twitchChannel": 42, "youtubeTarget": " @SomeHandle "})",
       with([](ChatSettings& s) { s.youtubeTarget = " @SomeHandle "; })},
      {R"({"youtubeTarget": "not a target!"})", {}},
      {R"({"window": {"x": -32001, "y": 32000, "w": 20001, "h": 600, "maximized": true}})",
       with([](ChatSettings& s) { s.windowY = 32000, s.windowH = 600, s.maximized = true; })},
      {R"({"window": [1, 2]})", {}},
      {R"({"ownAppRedirectPort": 1024})",
       with([](ChatSettings& s) { s.ownAppRedirectPort = 1024; })},
      {R"({"ownAppRedirectPort": 65535})",
       with([](ChatSettings& s) { s.ownAppRedirectPort = 65535; })},
      {R"({"ownAppRedirectPort": 1023})", {}},
      {R"({"ownAppRedirectPort": 65536})", {}},
      {R"({"ownAppRedirectPort": "18000"})", {}},
      {R"({"ownAppRedirectPort": 18000.5})", {}},
      {R"({"overlayEnabled": true, "overlayPort": 18000})", with([](ChatSettings& s) {
         s.overlayEnabled = true;
         s.overlayPort = 18000;
       })},
      {R"({"overlayEnabled": "yes", "overlayPort": 80})", {}},
      {R"({"overlayPlatforms": 5, "overlayShow": 2, "overlayFadeSeconds": 60,
           "overlayMaxRows": 100})",
       with([](ChatSettings& s) {
         s.overlayPlatforms = 5;
         s.overlayShow = 2;
         s.overlayFadeSeconds = 60;
         s.overlayMaxRows = 100;
       })},
      {R"({"overlayPlatforms": 0, "overlayShow": 3, "overlayFadeSeconds": 45,
           "overlayMaxRows": 1000})",
       {}},
      {R"({"highlightWords": [" hype ", "", 5, "hype", "gg"], "ignoreUsers": "nightbot",
           "highlightPatterns": ["^!\\w+"], "pauseSeconds": 10, "notifySound": true})",
       with([](ChatSettings& s) {
         s.highlightWords = {"hype", "gg"};
         s.highlightPatterns = {"^!\\w+"};
         s.pauseSeconds = 10;
         s.notifySound = true;
       })},
      {R"({"pauseSeconds": 3, "pauseOnHover": 0, "ignorePatterns": [["a"]]})", {}},
      {R"({"chatLogs": true})", with([](ChatSettings& s) { s.chatLogs = true; })},
      {R"({"chatLogs": 1})", {}},
      {R"({"readAloud": true})", with([](ChatSettings& s) { s.readAloud = true; })},
      {R"({"chatLogs": "true"})", {}},
      {R"([1, 2, 3])", {}},
      {R"({"opacity": 70, "textSize": 0)", {}},  // truncated: all defaults
      {"garbage \x01\xff", {}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseChatSettings(c.json), c.expected) << c.json;
}

TEST(ChatSettingsLoad, HugeAndDeeplyNestedDocumentsLoadDefaults) {
  std::string big = R"({"opacity": 90, "junk": [)";
  while (big.size() < 10'000'000) big += R"({"a": [1, 2.5, "text", null, true]},)";
  big += "0]}";
  EXPECT_EQ(ParseChatSettings(big).opacity, 90);

  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  EXPECT_EQ(ParseChatSettings(deep), ChatSettings{});
}

TEST(ChatSettingsSave, EveryKeySortedIndentedAndRoundTrips) {
  test::TempDir dir;
  ChatSettings s;
  s.kickChannel = "abc";
  s.opacity = 90;
  s.windowW = 400;
  s.highlightWords = {"hype"};
  ASSERT_TRUE(SaveChatSettings(dir.path() / "nested" / "folder", s));
  std::ifstream in{dir.path() / "nested" / "folder" / "chat.json"};
  std::stringstream text;
  text << in.rdbuf();
  const std::string expected = R"({
  "alwaysOnTop": false,
  "animateEmotes": true,
  "chatLogs": false,
  "compact": false,
  "filter": 0,
  "hideCommandsAndBots": false,
  "highlightFirstMessages": true,
  "highlightPatterns": [],
  "highlightUsers": [],
  "highlightWords": [
    "hype"
  ],
  "ignorePatterns": [],
  "ignoreUsers": [],
  "kickChannel": "abc",
  "nameStyle": 0,
  "notifyDesktop": true,
  "notifySound": false,
  "opacity": 90,
  "overlayEnabled": false,
  "overlayFadeSeconds": 0,
  "overlayMaxRows": 20,
  "overlayPlatforms": 7,
  "overlayPort": 17830,
  "overlayShow": 0,
  "ownAppRedirectPort": 17823,
  "pauseOnHover": true,
  "pauseSeconds": 5,
  "readAloud": false,
  "sendTarget": 0,
  "showAlerts": true,
  "showTimestamps": true,
  "soundEveryMessage": false,
  "textSize": 1,
  "theme": "neon",
  "thirdPartyEmotes": true,
  "twitchChannel": "",
  "window": {
    "h": 0,
    "maximized": false,
    "w": 400,
    "x": 0,
    "y": 0
  },
  "youtubeTarget": ""
})";
  EXPECT_EQ(text.str(), expected);
  EXPECT_EQ(LoadChatSettings(dir.path() / "nested" / "folder"), s);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "nested" / "folder" / "chat.json.tmp"));
}

TEST(ChatSettingsSave, UnwritableFolderLeavesOldFile) {
  test::TempDir dir;
  ChatSettings s;
  s.theme = "ocean";
  ASSERT_TRUE(SaveChatSettings(dir.path(), s));
  // A directory where the temporary file should go makes the write fail.
  std::filesystem::create_directory(dir.path() / "chat.json.tmp");
  ChatSettings other;
  other.theme = "forest";
  EXPECT_FALSE(SaveChatSettings(dir.path(), other));
  EXPECT_EQ(LoadChatSettings(dir.path()).theme, "ocean");
}

// A process killed at any moment of a save leaves either the old or the new complete file.
TEST(ChatSettingsSave, KilledWhileSavingNeverLeavesABrokenFile) {
  test::TempDir dir;
  ChatSettings a;
  a.twitchChannel = std::string(25, 'a');
  a.theme = "first";
  ChatSettings b;
  b.kickChannel = std::string(60, 'b');
  b.theme = "second";
  ASSERT_TRUE(SaveChatSettings(dir.path(), a));

  std::mt19937 random{12345};
  for (int round = 0; round < 20; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int i = 0;; ++i) SaveChatSettings(dir.path(), i % 2 ? a : b);
    }
    std::this_thread::sleep_for(std::chrono::microseconds{1000 + random() % 20000});
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);

    std::ifstream in{dir.path() / "chat.json", std::ios::binary};
    std::stringstream text;
    text << in.rdbuf();
    ASSERT_TRUE(json::ParseAny(text.str()).is_object()) << "round " << round << ": " << text.str();
    const ChatSettings loaded = ParseChatSettings(text.str());
    EXPECT_TRUE(loaded == a || loaded == b) << "round " << round;
  }
}

}  // namespace
}  // namespace vlo
