#include <algorithm>
#include <filesystem>
#include <fstream>

#include "sim/youtube/YouTubeReplay.h"
#include "tests/readers/youtube/YouTubeFixture.h"

namespace vlo::testing_yt {
namespace {

using S = ConnectionState;
using sim::YouTubeEvent;
using sim::YouTubeEventKind;

const sim::YouTubeViewer kAnn{"Ann", "UCann", false, false, true, false};
const sim::YouTubeViewer kBob{"Bob", "UCbob", false, true, false, false};

class PageReader : public YouTubeFixture {
 protected:
  // Starts reading "@livechan" and waits for the reader's first poll wait.
  void StartReading(const char* detail = "Reading (sign in to send)") {
    AddLiveChannel();
    Start("@livechan");
    ASSERT_TRUE(WaitForStatus({S::Connected, "Live Channel", detail}));
    Waits(1);
  }
  std::vector<int64_t> PollOnce(size_t waitsSoFar) {
    clock_.Advance(clock_.Waits().back());
    return Waits(waitsSoFar + 1);
  }
};

TEST_F(PageReader, ReadsInitialItemsThenTheFullChatFeed) {
  yt_.PushText(kVideo, kAnn, "before we started :yt:");
  StartReading();
  EXPECT_TRUE(WaitForBody("Connected to the live chat of Live Channel"));
  EXPECT_TRUE(WaitForBody("before we started :yt:"));
  EXPECT_FALSE(hub_->GetStatus(kYouTube).canSend);

  const std::string gone = yt_.PushText(kVideo, kBob, "delete me");
  yt_.PushText(kVideo, kAnn, "ann again");
  YouTubeEvent paid{YouTubeEventKind::SuperChat, {}, kBob, "hi", "$5.00", {}, 0, {}, 0};
  yt_.Push(kVideo, paid);
  PollOnce(1);
  ASSERT_TRUE(WaitForBody("$5.00 hi"));
  yt_.Push(kVideo, {YouTubeEventKind::Delete, {}, kBob, {}, {}, {}, 0, gone});
  yt_.Push(kVideo, {YouTubeEventKind::Ban, {}, kBob, {}, {}, {}, 0, "UCann"});
  PollOnce(2);
  ASSERT_TRUE(WaitUntil([&] {
    int deleted = 0;
    for (const auto& row : hub_->Snapshot()) deleted += row.deleted;
    return deleted == 3;  // Bob's deleted message and Ann's two
  }));
  bool alert = false;
  for (const auto& row : hub_->Snapshot()) {
    if (plx::HasTag(row, "event")) alert = true;
    if (row.body == "$5.00 hi") {
      EXPECT_FALSE(row.deleted);
    }
  }
  EXPECT_TRUE(alert);

  // The feed followed the "Live chat" entry of the view menu, with well-formed requests.
  const auto polled = yt_.PolledContinuations();
  ASSERT_GE(polled.size(), 2u);
  EXPECT_TRUE(polled[0].starts_with("live.")) << polled[0];
  EXPECT_EQ(yt_.RejectedPolls(), 0u);
  const auto posts = web_.Requests();
  const auto post =
      std::find_if(posts.begin(), posts.end(), [](const auto& r) { return r.method == "POST"; });
  ASSERT_NE(post, posts.end());
  EXPECT_EQ(post->target, "/youtubei/v1/live_chat/get_live_chat?prettyPrint=false");
  EXPECT_EQ(post->Header("Origin"), "https://www.youtube.com");
  EXPECT_EQ(post->Header("Cookie"), "");
}

TEST_F(PageReader, FailedPollsBackOffAndRecover) {
  web_.AnswerNext("POST", sim::YouTubeSim::kContinuationPath, 4, sim::HttpAnswer::Status(500));
  StartReading();
  for (size_t n = 1; n < 6; ++n) PollOnce(n);
  EXPECT_EQ(clock_.Waits(), (std::vector<int64_t>{1500, 2000, 4000, 6000, 8000, 1500}));
  EXPECT_EQ(Current(), (StatusEntry{S::Connected, "Live Channel", "Reading (sign in to send)"}));
}

TEST_F(PageReader, FiveFailuresLoseTheFeed) {
  web_.AnswerNext("POST", sim::YouTubeSim::kContinuationPath, 5,
                  sim::HttpAnswer::Json("{\"no\":1}"));  // 200 but unusable
  StartReading();
  for (size_t n = 1; n < 6; ++n) PollOnce(n);
  EXPECT_EQ(clock_.Waits(), (std::vector<int64_t>{1500, 2000, 4000, 6000, 8000, 5000}));
  EXPECT_EQ(Current(),
            (StatusEntry{S::Connecting, "Live Channel", "Lost the chat feed - reconnecting…"}));
  EXPECT_EQ(hub_->PlatformIdOf(kYouTube), "");
  clock_.Advance(5000);  // a new cycle reconnects
  ASSERT_TRUE(WaitUntil([&] { return web_.RequestCount("/live_chat") == 2; }));
}

TEST_F(PageReader, EndedChatWaitsForTheNextStream) {
  StartReading();
  yt_.EndStream(kChannel);
  PollOnce(1);
  EXPECT_EQ(clock_.Waits().back(), 30000);
  EXPECT_TRUE(WaitForBody("The YouTube live chat ended"));
  EXPECT_EQ(Current(), (StatusEntry{S::Offline, "@livechan", "Waiting for the next live stream"}));
  clock_.Advance(30000);
  ASSERT_TRUE(
      WaitForStatus({S::Offline, "@livechan", "Not live right now - checking again every minute"}));
}

TEST_F(PageReader, StopWhileWaitingEndsTheThreadAndClearsTheChatId) {
  accounts_.SignIn("tok", "", "Me");
  StartReading("Connected");  // signed in: the chat id is known
  EXPECT_EQ(hub_->PlatformIdOf(kYouTube), kChatId);
  hub_->Stop();
  EXPECT_EQ(hub_->PlatformIdOf(kYouTube), "");
  EXPECT_EQ(hub_->GetStatus(kYouTube).state, S::Off);
}

TEST_F(PageReader, ReplaysACapturedSession) {
  const auto folder =
      std::filesystem::temp_directory_path() / ("yt-capture-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  auto write = [&](const char* name, const std::string& body) {
    std::ofstream{folder / name} << body;
  };
  const std::string message =
      R"({"addChatItemAction":{"item":{"liveChatTextMessageRenderer":{"id":"CAP1",
        "message":{"runs":[{"text":"captured "},{"emoji":{"emojiId":"😀"}}]},
        "authorName":{"simpleText":"Recorded"},"authorExternalChannelId":"UCrec",
        "timestampUsec":"1714564800500000"}}}})";
  write("0001.json", R"({"responseContext":{},"continuationContents":{"liveChatContinuation":{
      "continuations":[{"timedContinuationData":{"timeoutMs":5000,"continuation":"real-token-2"}}],
      "actions":[)" + message +
                         "]}}}");
  write("0002.json", R"({"responseContext":{},"continuationContents":{"liveChatContinuation":{
      "continuations":[{"invalidationContinuationData":{"continuation":"real-token-3"}}],
      "actions":[{"removeChatItemAction":{"targetItemId":"CAP1"}}]}}})");
  write("live_chat.html",
        R"(<script>ytcfg.set({"INNERTUBE_CLIENT_VERSION":"2.20230101.00.00"});</script>)"
        R"(<script>var ytInitialData = {"contents":{"liveChatRenderer":{"continuations":)"
        R"([{"timedContinuationData":{"continuation":"real-token-1"}}]}}};</script>)");
  std::string error;
  ASSERT_TRUE(sim::LoadYouTubeCapture(yt_, folder.string(), &error)) << error;
  std::filesystem::remove_all(folder);

  clock_.SetAutoAdvance(true);
  Start(sim::kReplayVideoId);
  ASSERT_TRUE(WaitForBody("The YouTube live chat ended"));
  clock_.SetAutoAdvance(false);
  const auto rows = hub_->Snapshot();
  const auto captured =
      std::find_if(rows.begin(), rows.end(), [](const auto& r) { return r.body == "captured 😀"; });
  ASSERT_NE(captured, rows.end());
  EXPECT_TRUE(captured->deleted);
  EXPECT_EQ(captured->timestampMs, 1714564800500);
  const auto polled = yt_.PolledContinuations();
  ASSERT_GE(polled.size(), 3u);
  EXPECT_EQ(polled[0], "real-token-1");
  EXPECT_EQ(polled[1], "real-token-2");
  EXPECT_EQ(polled[2], "real-token-3");
  EXPECT_EQ(yt_.RejectedPolls(), 0u);
}

TEST(YouTubeCapture, EmptyFolderIsRefused) {
  sim::SimServer web;
  sim::YouTubeSim yt{web, web};
  std::string error;
  const auto missing = std::filesystem::temp_directory_path() / "no-such-youtube-capture";
  EXPECT_FALSE(sim::LoadYouTubeCapture(yt, missing.string(), &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace vlo::testing_yt

namespace vlo::testing_yt {
namespace {

TEST(YouTubeDemo, ItsStreamIsReadByTheReader) {
  sim::SimServer web;
  sim::SimServer api;
  sim::YouTubeDemo demo{web, api, 200.0};
  Endpoints endpoints;
  endpoints.youtubeWeb = web.BaseUrl();
  endpoints.youtubeApi = api.BaseUrl();
  NoAccounts accounts;
  TestClock clock{1'700'000'000'000, /*autoAdvance=*/true};
  ChatHub hub{accounts, clock};
  hub.SetReaderEntry(kYouTube, MakeYouTubeReader(endpoints));
  hub.SetTargets({{}, {}, demo.Target()});
  hub.Start();
  EXPECT_TRUE(WaitUntil([&] {
    size_t viewers = 0;
    for (const auto& row : hub.Snapshot()) viewers += row.id.starts_with("yt-");
    return viewers >= 30;
  }));
  EXPECT_EQ(hub.GetStatus(kYouTube).channel, "Velaro Demo");
  hub.Stop();
}

}  // namespace
}  // namespace vlo::testing_yt

namespace vlo::testing_yt {
namespace {

// After a lost feed the chat page embeds the latest messages again. Those the reader showed
// before must not come back as new rows, even when a busy chat elsewhere pushed them out of the
// hub meanwhile.
TEST_F(PageReader, MessagesShownBeforeALostFeedDoNotComeBack) {
  yt_.PushText(kVideo, kAnn, "said before the start");
  StartReading();
  ASSERT_TRUE(WaitForBody("said before the start"));
  yt_.PushText(kVideo, kBob, "said while reading");
  PollOnce(1);
  ASSERT_TRUE(WaitForBody("said while reading"));

  // Five failed polls lose the feed; the hub fills with other rows meanwhile.
  web_.AnswerNext("POST", sim::YouTubeSim::kContinuationPath, 5, sim::HttpAnswer::Status(500));
  for (size_t waits = 2; waits <= 6; ++waits) PollOnce(waits);
  ASSERT_TRUE(WaitForStatus({S::Connecting, "Live Channel", "Lost the chat feed - reconnecting…"}));
  for (size_t i = 0; i <= ChatHub::kMaxRows; ++i) {
    plx::ChatMessage other;
    other.id = "tw-" + std::to_string(i);
    other.platform = plx::PlatformId::Twitch;
    other.author = "someone";
    other.body = "busy";
    hub_->AddMessage(std::move(other));
  }
  ASSERT_TRUE(Bodies().empty());
  yt_.PushText(kVideo, kAnn, "said after the loss");
  clock_.Advance(5000);  // discovery starts again and reads the chat page
  ASSERT_TRUE(WaitForStatus({S::Connected, "Live Channel", "Reading (sign in to send)"}));
  ASSERT_TRUE(WaitForBody("said after the loss"));
  const std::vector<std::string> bodies = Bodies();
  EXPECT_EQ(std::count(bodies.begin(), bodies.end(), "said before the start"), 0);
  EXPECT_EQ(std::count(bodies.begin(), bodies.end(), "said while reading"), 0);
}

}  // namespace
}  // namespace vlo::testing_yt
