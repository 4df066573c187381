#include "readers/youtube/ApiReader.h"
#include "tests/readers/youtube/YouTubeFixture.h"

namespace vlo::testing_yt {
namespace {

using S = ConnectionState;

TEST(ApiPollInterval, Table) {
  struct Case {
    const char* answer;
    int emptyPolls;
    int64_t expected;
  };
  const Case cases[] = {
      {R"({"pollingIntervalMillis":2000})", 0, 8000},
      {R"({"pollingIntervalMillis":45000})", 0, 30000},
      {R"({"pollingIntervalMillis":12345})", 0, 12345},
      {R"({"pollingIntervalMillis":9000.7})", 0, 9000},
      {R"({"pollingIntervalMillis":"9000"})", 0, 8000},  // not a number
      {R"({})", 0, 8000},
      {R"({"pollingIntervalMillis":5000})", 2, 8000},
      {R"({"pollingIntervalMillis":5000})", 3, 10000},
      {R"({"pollingIntervalMillis":5000})", 5, 14000},
      {R"({"pollingIntervalMillis":5000})", 40, 16000},
      {R"({"pollingIntervalMillis":20000})", 6, 20000},  // a longer given interval stays
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ApiPollInterval(json::Json::parse(c.answer), c.emptyPolls), c.expected)
        << c.answer << " after " << c.emptyPolls;
  }
}

class BackupReader : public YouTubeFixture {
 protected:
  // Signed in, with the live chat page unavailable so discovery picks the Data API reader.
  void StartBackup() {
    AddLiveChannel();
    accounts_.SignIn("tok", "", "Me");
    web_.AnswerNext("GET", "/live_chat", 1, sim::HttpAnswer::Status(500));
    Start("@livechan");
    ASSERT_TRUE(WaitForStatus({S::Connected, "Live Channel", "Connected (backup reader)"}));
  }
  std::vector<int64_t> Step(size_t waitsSoFar) {
    clock_.Advance(clock_.Waits().back());
    return Waits(waitsSoFar + 1);
  }
  std::string LastMessagesQuery() {
    std::string query;
    for (const auto& r : api_.Requests()) {
      if (r.path == sim::YouTubeSim::kMessagesPath) query = r.query;
    }
    return query;
  }
};

TEST_F(BackupReader, ReadsItemsAndSlowsDownWhileQuiet) {
  yt_.PushText(kVideo, {"Ann", "UCann", true, false, false, true}, "hello");
  StartBackup();
  EXPECT_TRUE(WaitForBody("Connected to the live chat of Live Channel (backup reader, slower)"));
  EXPECT_TRUE(WaitForBody("hello"));
  EXPECT_TRUE(hub_->GetStatus(kYouTube).canSend);
  EXPECT_EQ(hub_->PlatformIdOf(kYouTube), kChatId);
  Waits(1);
  for (size_t n = 1; n <= 6; ++n) Step(n);
  // One poll with an item, then six empty ones, "pollingIntervalMillis" 5000 throughout.
  EXPECT_EQ(clock_.Waits(), (std::vector<int64_t>{8000, 8000, 8000, 10000, 12000, 14000, 16000}));
  EXPECT_EQ(LastMessagesQuery(),
            "liveChatId=chat-live-1&part=snippet,authorDetails&maxResults=200&pageToken=p1");
  const auto rows = hub_->Snapshot();
  const auto hello =
      std::find_if(rows.begin(), rows.end(), [](const auto& r) { return r.body == "hello"; });
  ASSERT_NE(hello, rows.end());
  EXPECT_EQ(hello->tags, (std::vector<std::string>{"broadcaster", "verified"}));
}

TEST_F(BackupReader, QuotaPausesFifteenMinutesKeepingThePageToken) {
  StartBackup();
  Waits(1);
  api_.AnswerNext(
      "GET", sim::YouTubeSim::kMessagesPath, 1,
      sim::HttpAnswer::Json(sim::YouTubeSim::ApiErrorBody(403, "rateLimitExceeded"), 403));
  EXPECT_EQ(Step(1).back(), 900000);
  EXPECT_EQ(Current(), (StatusEntry{S::Problem, "Live Channel",
                                    "YouTube's daily API limit is used up - trying again later"}));
  yt_.PushText(kVideo, {"Ann", "UCann"}, "after the pause");
  Step(2);
  EXPECT_TRUE(WaitForBody("after the pause"));
  EXPECT_EQ(Current(), (StatusEntry{S::Connected, "Live Channel", "Connected (backup reader)"}));
  EXPECT_TRUE(LastMessagesQuery().ends_with("&pageToken=p0"));
}

TEST_F(BackupReader, OtherFailuresRetryEveryEightSeconds) {
  StartBackup();
  Waits(1);
  api_.AnswerNext("GET", sim::YouTubeSim::kMessagesPath, 2, sim::HttpAnswer::Status(401));
  Step(1);
  // The failing polls show, and the next good one puts the status back.
  EXPECT_EQ(Current(), (StatusEntry{S::Connecting, "Live Channel",
                                    "The YouTube API answered HTTP 401 - retrying…"}));
  Step(2);
  Step(3);
  EXPECT_EQ(Current(), (StatusEntry{S::Connected, "Live Channel", "Connected (backup reader)"}));
  EXPECT_EQ(clock_.Waits(), (std::vector<int64_t>{8000, 8000, 8000, 8000}));
}

TEST_F(BackupReader, NotFoundEndsTheChat) {
  StartBackup();
  Waits(1);
  api_.AnswerNext(
      "GET", sim::YouTubeSim::kMessagesPath, 1,
      sim::HttpAnswer::Json(sim::YouTubeSim::ApiErrorBody(404, "liveChatNotFound"), 404));
  EXPECT_EQ(Step(1).back(), 30000);
  EXPECT_TRUE(WaitForBody("The YouTube live chat ended"));
  EXPECT_EQ(Current(), (StatusEntry{S::Offline, "@livechan", "Waiting for the next live stream"}));
  EXPECT_FALSE(hub_->GetStatus(kYouTube).canSend);
  EXPECT_EQ(hub_->PlatformIdOf(kYouTube), "");
  clock_.Advance(30000);  // a new discovery cycle starts
  ASSERT_TRUE(WaitUntil([&] { return web_.RequestCount("/live_chat") == 2; }));
}

}  // namespace
}  // namespace vlo::testing_yt
