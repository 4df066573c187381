#include "overlay/OverlayServer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "core/ChatHub.h"
#include "emotes/EmoteRegistry.h"
#include "emotes/ImageCache.h"
#include "emotes/SplitMessage.h"
#include "readers/kick/KickReader.h"
#include "readers/twitch/TwitchReader.h"
#include "readers/youtube/YouTubeReader.h"
#include "sim/emotes/EmotePictures.h"
#include "sim/twitch/TwitchLines.h"
#include "tests/TempDir.h"
#include "tests/WorldChat.h"
#include "tests/overlay/OverlayClient.h"

namespace vlo {
namespace {

using test::EventClient;
using test::Eventually;
using test::StatusOf;

std::vector<std::string> Authors(const test::StreamEvent& event) {
  std::vector<std::string> authors;
  for (const auto& row : event.data["rows"]) authors.push_back(row["author"]);
  return authors;
}

// A server on a free port over a hub fed by hand (rows, removals) and an image folder.
class OverlayServerTest : public ::testing::Test {
 protected:
  void StartServer(OverlayConfig config = {}) {
    config.port = 0;
    config.imageFolder = dir.path();
    config.split = [](const plx::ChatMessage& m) { return SplitMessage(m); };
    config.wantImage = [this](const std::string& key) {
      std::lock_guard lock{wantedLock};
      wanted.insert(key);
    };
    server = std::make_unique<OverlayServer>(hub, std::move(config));
    std::string error;
    ASSERT_TRUE(server->Start(&error)) << error;
    port = server->Port();
  }

  void Say(std::string id, std::string author, std::string body,
           std::vector<std::string> tags = {}) {
    plx::ChatMessage m;
    m.id = id;
    m.platformMessageId = "p-" + id;
    m.authorId = "u-" + author;
    m.author = std::move(author);
    m.body = std::move(body);
    m.tags = std::move(tags);
    hub.AddMessage(std::move(m));
  }

  void TearDown() override {
    if (server) server->Stop();
  }

  test::TempDir dir;
  NoAccounts accounts;
  ChatHub hub{accounts};
  std::unique_ptr<OverlayServer> server;
  int port{0};
  std::mutex wantedLock;
  std::set<std::string> wanted;
};

TEST_F(OverlayServerTest, ServesThePageAndRefusesWhatIsNotAPageOnThisComputer) {
  StartServer();
  const std::string page = test::Get(port, "/overlay?theme=ocean&fade=30");
  EXPECT_EQ(StatusOf(page), 200);
  EXPECT_NE(page.find("Content-Type: text/html"), std::string::npos);
  EXPECT_NE(page.find("Content-Security-Policy: default-src 'none'"), std::string::npos);
  EXPECT_NE(page.find("new EventSource"), std::string::npos);

  const std::string local = "localhost:" + std::to_string(port);
  const std::string self = "http://127.0.0.1:" + std::to_string(port);
  struct Case {
    const char* what;
    std::string request;
    int status;
  };
  const std::string host = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
  const Case cases[] = {
      {"localhost by name", "GET /overlay HTTP/1.1\r\nHost: " + local + "\r\n\r\n", 200},
      {"own origin", "GET /events HTTP/1.1\r\n" + host + "Origin: " + self + "\r\n\r\n", 200},
      {"rebound name", "GET /events HTTP/1.1\r\nHost: evil.example:" + std::to_string(port) +
                           "\r\n\r\n", 403},
      {"no host", "GET /overlay HTTP/1.0\r\n\r\n", 403},
      {"other port", "GET /overlay HTTP/1.1\r\nHost: 127.0.0.1:1\r\n\r\n", 403},
      {"foreign origin", "GET /events HTTP/1.1\r\n" + host + "Origin: https://evil.example\r\n\r\n",
       403},
      {"opaque origin", "GET /events HTTP/1.1\r\n" + host + "Origin: null\r\n\r\n", 403},
      {"post", "POST /overlay HTTP/1.1\r\n" + host + "Content-Length: 0\r\n\r\n", 405},
      {"a body", "PUT /overlay HTTP/1.1\r\n" + host + "Content-Length: 5\r\n\r\nhello", 413},
      {"huge head", "GET /overlay HTTP/1.1\r\n" + host + "X-Pad: " + std::string(20000, 'a') +
                        "\r\n\r\n", 431},
      {"settings", "GET /chat.json HTTP/1.1\r\n" + host + "\r\n", 404},
      {"climbing", "GET /emote/../../secrets.dpapi HTTP/1.1\r\n" + host + "\r\n", 404},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StatusOf(test::Exchange(port, c.request)), c.status) << c.what;
  }
  EXPECT_GE(server->GetCounts().refused, 7u);
  // Garbage is dropped without an answer and the server goes on.
  EXPECT_EQ(test::Exchange(port, "\x16\x03\x01 not http\r\n\r\n"), "");
  EXPECT_EQ(StatusOf(test::Get(port, "/overlay")), 200);
}

TEST_F(OverlayServerTest, StreamsRowsAndRemovalsInOrderAndResyncsAReconnectingPage) {
  StartServer();
  Say("1", "Ann", "first");
  hub.PostSystemLine(plx::PlatformId::Twitch, "Connected");  // not for the stream
  Say("2", "Bob", "gone before anyone looked");
  hub.ApplyRemoval({RemovalKind::Message, plx::PlatformId::Twitch, "p-2"});

  EventClient page{port, "?theme=calm"};
  auto reset = page.Next();
  ASSERT_TRUE(reset);
  EXPECT_EQ(reset->name, "reset");
  EXPECT_EQ(Authors(*reset), (std::vector<std::string>{"Ann"}));
  EXPECT_EQ(reset->data["bg"].get<std::string>().size(), 7u);

  Say("3", "Cid", "second");
  Say("4", "Ann", "third", {"event", "sub"});
  std::vector<std::string> seen;
  while (seen.size() < 2) {
    auto rows = page.NextNamed("rows");
    ASSERT_TRUE(rows);
    for (const auto& a : Authors(*rows)) seen.push_back(a);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"Cid", "Ann"}));

  // A ban takes down every row of the author still shown, a deletion one row.
  hub.ApplyRemoval({RemovalKind::Author, plx::PlatformId::Twitch, "u-Ann"});
  auto removed = page.NextNamed("remove");
  ASSERT_TRUE(removed);
  EXPECT_EQ(removed->data["ids"], (nlohmann::json{"1", "4"}));
  hub.ApplyRemoval({RemovalKind::Message, plx::PlatformId::Twitch, "p-3"});
  removed = page.NextNamed("remove");
  ASSERT_TRUE(removed);
  EXPECT_EQ(removed->data["ids"], (nlohmann::json{"3"}));

  // A page that loads again gets the rows that are up now, once, and then only new ones.
  Say("5", "Dee", "after the ban");
  EventClient again{port};
  reset = again.NextNamed("reset");
  ASSERT_TRUE(reset);
  EXPECT_EQ(Authors(*reset), (std::vector<std::string>{"Dee"}));
  Say("6", "Eve", "newest");
  auto rows = again.NextNamed("rows");
  ASSERT_TRUE(rows);
  EXPECT_EQ(Authors(*rows), (std::vector<std::string>{"Eve"}));
  // The first page got both, each once.
  seen.clear();
  while (seen.size() < 2) {
    rows = page.NextNamed("rows");
    ASSERT_TRUE(rows);
    for (const auto& a : Authors(*rows)) seen.push_back(a);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"Dee", "Eve"}));
  EXPECT_EQ(server->GetCounts().streams, 2u);
}

TEST_F(OverlayServerTest, ServesEmoteImagesItHandedOutWithTheirType) {
  OverlayConfig config;
  config.imageWaitMs = 300;
  StartServer(config);
  Say("1", "Ann", "Kappa LUL", {"emotes=25:0-4/425618:6-8"});
  EventClient page{port};
  auto reset = page.Next();
  ASSERT_TRUE(reset);
  const auto& runs = reset->data["rows"][0]["runs"];
  ASSERT_EQ(runs.size(), 3u);
  const std::string kappa = runs[0]["e"];
  const std::string lul = runs[2]["e"];

  // Kappa is on disk: its bytes as they were downloaded, with their type.
  const std::string png = sim::FacePng(28, 28, 40, 1);
  std::ofstream{dir.path() / (kappa.substr(7) + ".img"), std::ios::binary} << png;
  const std::string answer = test::Get(port, kappa);
  EXPECT_EQ(StatusOf(answer), 200);
  EXPECT_NE(answer.find("Content-Type: image/png"), std::string::npos);
  EXPECT_EQ(test::BodyOf(answer), png);

  // LUL is not downloaded yet: the cache is asked for it and the page is told to try again.
  const std::string later = test::Get(port, lul);
  EXPECT_EQ(StatusOf(later), 503);
  EXPECT_NE(later.find("Retry-After: 2"), std::string::npos);
  {
    std::lock_guard lock{wantedLock};
    ASSERT_EQ(wanted.size(), 1u);
    EXPECT_NE(wanted.begin()->find("/emoticons/v2/425618/"), std::string::npos);
  }
  // An image that arrives while its request waits is answered at once.
  std::thread download{[&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::ofstream{dir.path() / (kappa.substr(7) + ".img"), std::ios::binary} << png;
  }};
  std::filesystem::remove(dir.path() / (kappa.substr(7) + ".img"));
  EXPECT_EQ(StatusOf(test::Get(port, kappa)), 200);
  download.join();
  // Files the server never handed out are not served, whatever lies in the folder.
  std::ofstream{dir.path() / "00000000000000aa.img"} << png;
  EXPECT_EQ(StatusOf(test::Get(port, "/emote/00000000000000aa")), 404);
  std::ofstream{dir.path() / (lul.substr(7) + ".img")} << "not an image";
  EXPECT_EQ(StatusOf(test::Get(port, lul)), 503);
}

TEST_F(OverlayServerTest, TooManyConnectionsAndASlowPageHurtNobodyElse) {
  OverlayConfig config;
  config.maxConnections = 6;
  config.maxQueuedBytes = 1u << 20;
  StartServer(config);

  // A page that never reads, with a small receive window.
  const int slow = test::ConnectLoopback(port);
  const int small = 4096;
  ::setsockopt(slow, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  test::SendAll(slow, "GET /events HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                          "\r\n\r\n");
  EventClient reader{port};
  ASSERT_TRUE(reader.NextNamed("reset"));
  std::vector<int> idle;
  for (int i = 0; i < 4; ++i) idle.push_back(test::ConnectLoopback(port));
  ASSERT_TRUE(Eventually([&] { return server->GetCounts().connections == 6; }));
  const std::string busy = test::Get(port, "/overlay");
  EXPECT_EQ(StatusOf(busy), 503);
  EXPECT_EQ(test::BodyOf(busy), "Too many connections to the overlay.");

  // The slow page falls behind and is dropped; the other one reads every row.
  const std::string text(4000, 'x');
  size_t said = 0;
  size_t received = 0;
  for (int round = 0; round < 30 && server->GetCounts().dropped == 0; ++round) {
    for (int i = 0; i < 100; ++i, ++said) Say(std::to_string(said), "Viewer", text);
    while (received < said) {
      auto rows = reader.NextNamed("rows");
      ASSERT_TRUE(rows) << received << " of " << said;
      received += rows->data["rows"].size();
    }
  }
  EXPECT_EQ(received, said);
  EXPECT_EQ(server->GetCounts().dropped, 1u);
  EXPECT_EQ(server->GetCounts().streams, 1u);
  for (int fd : idle) ::close(fd);
  ::close(slow);
  EXPECT_TRUE(Eventually([&] { return server->GetCounts().connections == 1; }));
}

TEST_F(OverlayServerTest, APortInUseIsToldAndStopEndsOpenStreams) {
  StartServer();
  OverlayConfig config;
  config.port = port;
  OverlayServer second{hub, config};
  std::string error;
  EXPECT_FALSE(second.Start(&error));
  EXPECT_EQ(error, "The overlay could not start: port " + std::to_string(port) +
                       " on 127.0.0.1 is taken by another program.");

  EventClient page{port};
  ASSERT_TRUE(page.NextNamed("reset"));
  server->Stop();
  EXPECT_FALSE(server->Running());
  EXPECT_FALSE(page.Next(2000));  // the stream ended
  EXPECT_EQ(test::ConnectLoopback(port), -1);
  hub.AddMessage({});  // no listener left behind
}

// The three real readers against the simulated world: what viewers type and what moderators
// take down reaches the page in the order the chat shows it.
TEST(OverlayWorldTest, SimulatedChatsReachThePage) {
  auto world = test::QuietWorld();
  test::WorldChat chat{*world};
  NoAccounts accounts;
  ChatHub hub{accounts};
  hub.SetTargets({sim::SimWorld::kTwitchChannel, "velarodemo", sim::YouTubeDemo::kVideoId});
  const Endpoints& endpoints = world->GetEndpoints();
  hub.SetReaderEntry(plx::PlatformId::Twitch, MakeTwitchReader(endpoints));
  hub.SetReaderEntry(plx::PlatformId::YouTube, MakeYouTubeReader(endpoints));
  hub.SetReaderEntry(plx::PlatformId::Kick, MakeKickReader(endpoints));
  hub.Start();
  for (const plx::PlatformId platform : plx::kReadPlatforms) {
    ASSERT_TRUE(Eventually([&] {
      return hub.GetStatus(platform).state == ConnectionState::Connected;
    })) << plx::PlatformName(platform);
  }
  test::TempDir dir;
  ImageCache images{dir.path() / "emotes", 1};
  EmoteRegistry registry{endpoints};
  OverlayServer server{hub, OverlayConfigFor(0, images, registry, false)};
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  EventClient page{server.Port()};
  ASSERT_TRUE(page.NextNamed("reset"));

  const test::Viewer ann{"Ann", 1};
  const test::Viewer bob{"Bob", 2};
  std::vector<std::pair<std::string, std::string>> seen;  // platform, author
  std::map<std::string, std::string> ids;                 // author + platform → row id
  const auto expect = [&](plx::PlatformId platform, const test::Viewer& viewer) {
    while (true) {
      auto rows = page.NextNamed("rows");
      ASSERT_TRUE(rows) << "waiting for " << viewer.name;
      for (const auto& row : rows->data["rows"]) {
        seen.emplace_back(row["platform"], row["author"]);
        ids[row["author"].get<std::string>() + row["platform"].get<std::string>()] = row["id"];
      }
      if (seen.back() == std::pair{plx::PlatformKey(platform), viewer.name}) return;
    }
  };
  chat.Says(plx::PlatformId::Twitch, ann, "hi from twitch");
  expect(plx::PlatformId::Twitch, ann);
  chat.Says(plx::PlatformId::Kick, bob, "hi from kick");
  expect(plx::PlatformId::Kick, bob);
  chat.Says(plx::PlatformId::YouTube, ann, "hi from youtube");
  expect(plx::PlatformId::YouTube, ann);
  chat.Says(plx::PlatformId::Twitch, bob, "bob on twitch");
  expect(plx::PlatformId::Twitch, bob);
  EXPECT_EQ(seen.size(), 4u);

  // A moderator bans Bob on Twitch: his Twitch row goes, his Kick row stays.
  const sim::TwitchRoom room{sim::SimWorld::kTwitchChannel, sim::SimWorld::kTwitchRoomId};
  world->Twitch().SendLines(sim::SimWorld::kTwitchChannel,
                            {sim::TwitchClearChatLine(room, bob.Id(plx::PlatformId::Twitch),
                                                      "login" + bob.Id(plx::PlatformId::Twitch),
                                                      sim::WallMs(), 0)});
  auto removed = page.NextNamed("remove");
  ASSERT_TRUE(removed);
  EXPECT_EQ(removed->data["ids"], (nlohmann::json{ids["Bobtwitch"]}));
  server.Stop();
  hub.Stop();
}

}  // namespace
}  // namespace vlo
