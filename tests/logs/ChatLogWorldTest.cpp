#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/Accounts.h"
#include "core/ChatHub.h"
#include "logs/ChatLogWriter.h"
#include "logs/LogFormat.h"
#include "readers/kick/KickReader.h"
#include "readers/twitch/TwitchReader.h"
#include "readers/youtube/YouTubeReader.h"
#include "sim/twitch/TwitchLines.h"
#include "tests/TempDir.h"
#include "tests/WorldChat.h"

namespace vlo {
namespace {

using test::Eventually;

std::string Read(const std::filesystem::path& path) {
  std::ifstream in{path, std::ios::binary};
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The lines of a log without their times.
std::vector<std::string> Untimed(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in{text};
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(9));
  return lines;
}

bool HasRow(ChatHub& hub, const std::string& body) {
  for (const plx::ChatRow& row : hub.Snapshot()) {
    if (row.body == body) return true;
  }
  return false;
}

// The three real readers against the simulated world on the real clock: what viewers type and
// what a moderator takes down lands in each channel's log of the day.
TEST(ChatLogWorldTest, SimulatedChatsAreLogged) {
  auto world = test::QuietWorld();
  test::WorldChat chat{*world};
  NoAccounts accounts;
  ChatHub hub{accounts};
  hub.SetTargets({sim::SimWorld::kTwitchChannel, "velarodemo", sim::YouTubeDemo::kVideoId});
  const Endpoints& endpoints = world->GetEndpoints();
  hub.SetReaderEntry(plx::PlatformId::Twitch, MakeTwitchReader(endpoints));
  hub.SetReaderEntry(plx::PlatformId::YouTube, MakeYouTubeReader(endpoints));
  hub.SetReaderEntry(plx::PlatformId::Kick, MakeKickReader(endpoints));
  test::TempDir dir;
  ChatLogOptions options;
  options.folder = LogsFolder(dir.path());
  ChatLogWriter writer{hub, options};
  hub.Start();
  for (const plx::PlatformId platform : plx::kReadPlatforms) {
    ASSERT_TRUE(Eventually([&] {
      return hub.GetStatus(platform).state == ConnectionState::Connected;
    })) << plx::PlatformName(platform);
  }

  const test::Viewer ann{"Ann", 1};
  const test::Viewer bob{"Bob", 2};
  chat.Says(plx::PlatformId::Twitch, ann, "hi from twitch");
  chat.Says(plx::PlatformId::Kick, bob, "hi from kick");
  chat.Says(plx::PlatformId::YouTube, ann, "hi from youtube");
  chat.Says(plx::PlatformId::Twitch, bob, "bob on twitch");
  for (const char* body : {"hi from twitch", "hi from kick", "hi from youtube", "bob on twitch"}) {
    ASSERT_TRUE(Eventually([&] { return HasRow(hub, body); })) << body;
  }
  // A moderator bans Bob on Twitch.
  const sim::TwitchRoom room{sim::SimWorld::kTwitchChannel, sim::SimWorld::kTwitchRoomId};
  world->Twitch().SendLines(
      sim::SimWorld::kTwitchChannel,
      {sim::TwitchClearChatLine(room, bob.Id(plx::PlatformId::Twitch),
                                "login" + bob.Id(plx::PlatformId::Twitch), sim::WallMs(), 0)});
  ASSERT_TRUE(Eventually([&] {
    for (const plx::ChatRow& row : hub.Snapshot()) {
      if (row.body == "bob on twitch") return row.deleted;
    }
    return false;
  }));
  writer.Flush();
  hub.Stop();
  writer.Stop();

  const std::string today = LocalStampOf(plx::nowMs()).date;
  const std::filesystem::path folder = LogsFolder(dir.path());
  const auto lines = [&](plx::PlatformId platform) {
    const std::string base = LogBaseName(today, platform, LogChannel(hub.Targets(), platform));
    std::vector<std::string> viewers;
    for (const std::string& line : Untimed(Read(folder / LogFileName(base, 1)))) {
      // The simulated chats' own history and the program's lines aside.
      if (line.find(" Ann: ") != std::string::npos || line.find(" Bob: ") != std::string::npos) {
        viewers.push_back(line);
      }
    }
    return viewers;
  };
  EXPECT_EQ(lines(plx::PlatformId::Twitch),
            (std::vector<std::string>{"[twitch] Ann: hi from twitch", "[twitch] Bob: bob on twitch",
                                      "[twitch] [deleted] Bob: bob on twitch"}));
  EXPECT_EQ(lines(plx::PlatformId::Kick), (std::vector<std::string>{"[kick] Bob: hi from kick"}));
  EXPECT_EQ(lines(plx::PlatformId::YouTube),
            (std::vector<std::string>{"[youtube] Ann: hi from youtube"}));
}

}  // namespace
}  // namespace vlo
