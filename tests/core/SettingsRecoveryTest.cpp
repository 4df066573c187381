// A settings file that cannot be read is kept aside before anything overwrites it, and keys of a
// newer version survive a save by this one.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/ChatSettings.h"
#include "core/Json.h"
#include "tests/TempDir.h"

namespace vlo {
namespace {

std::string Read(const std::filesystem::path& path) {
  std::ifstream in{path, std::ios::binary};
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void Write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream{path, std::ios::binary | std::ios::trunc} << bytes;
}

TEST(ChatSettingsRecovery, AnUnreadableFileIsKeptAsideBeforeTheFirstSave) {
  const std::string cases[] = {
      std::string{R"({"twitchChannel": "mychannel", "kickChannel": "myk)"},  // cut short
      std::string{"\x00\x01\xff\xfe garbage", 13},
      "[\"an\", \"array\"]",
      "   \n",
  };
  for (const std::string& bytes : cases) {
    test::TempDir dir;
    Write(dir.path() / "chat.json", bytes);
    EXPECT_EQ(LoadChatSettings(dir.path()), ChatSettings{});
    const std::optional<std::string> problem = ChatSettingsProblem(dir.path());
    ASSERT_TRUE(problem) << bytes;
    EXPECT_EQ(*problem,
              "The settings file chat.json could not be read, so the defaults are in use; it is "
              "kept beside it as chat.json.unreadable.");

    ChatSettings chosen;
    chosen.theme = "ocean";
    ASSERT_TRUE(SaveChatSettings(dir.path(), chosen));
    EXPECT_EQ(Read(dir.path() / "chat.json.unreadable"), bytes);
    EXPECT_EQ(LoadChatSettings(dir.path()).theme, "ocean");
    EXPECT_FALSE(ChatSettingsProblem(dir.path()));
    ASSERT_TRUE(SaveChatSettings(dir.path(), chosen));  // a later save moves nothing
    EXPECT_EQ(Read(dir.path() / "chat.json.unreadable"), bytes);

    // Broken again later: the first copy stays, the new one goes beside it.
    Write(dir.path() / "chat.json", "{{{");
    EXPECT_NE(ChatSettingsProblem(dir.path())->find("chat.json.unreadable-2"), std::string::npos);
    ASSERT_TRUE(SaveChatSettings(dir.path(), chosen));
    EXPECT_EQ(Read(dir.path() / "chat.json.unreadable"), bytes);
    EXPECT_EQ(Read(dir.path() / "chat.json.unreadable-2"), "{{{");
  }
}

TEST(ChatSettingsRecovery, NothingToKeepIsNoProblem) {
  test::TempDir dir;
  EXPECT_FALSE(ChatSettingsProblem(dir.path()));  // no file
  Write(dir.path() / "chat.json", "");
  EXPECT_FALSE(ChatSettingsProblem(dir.path()));  // an empty one holds nothing
  Write(dir.path() / "chat.json", R"({"opacity": "wrong type", "theme": 5})");
  EXPECT_FALSE(ChatSettingsProblem(dir.path()));  // readable, with values that take defaults
  ASSERT_TRUE(SaveChatSettings(dir.path(), ChatSettings{}));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "chat.json.unreadable"));
}

TEST(ChatSettingsRecovery, KeysThisVersionDoesNotKnowSurviveASave) {
  test::TempDir dir;
  Write(dir.path() / "chat.json", R"({
    "twitchChannel": "streamer", "opacity": 80, "futureFeature": {"enabled": true, "level": 3},
    "newList": [1, 2], "window": {"w": 500, "h": 400, "monitor": "HDMI-1"}})");
  ChatSettings settings = LoadChatSettings(dir.path());
  EXPECT_EQ(settings.twitchChannel, "streamer");
  settings.opacity = 90;
  settings.windowW = 640;
  ASSERT_TRUE(SaveChatSettings(dir.path(), settings));

  const json::Json saved = json::ParseObject(Read(dir.path() / "chat.json"));
  EXPECT_EQ(saved["opacity"], 90);
  EXPECT_EQ(saved["twitchChannel"], "streamer");
  EXPECT_EQ(saved["futureFeature"], (json::Json{{"enabled", true}, {"level", 3}}));
  EXPECT_EQ(saved["newList"], (json::Json{1, 2}));
  EXPECT_EQ(saved["window"]["w"], 640);
  EXPECT_EQ(saved["window"]["monitor"], "HDMI-1");
  EXPECT_EQ(LoadChatSettings(dir.path()), settings);
}

}  // namespace
}  // namespace vlo
