#include "net/Http.h"
#include "tests/readers/youtube/YouTubeFixture.h"

namespace vlo::testing_yt {
namespace {

using S = ConnectionState;

class Discovery : public YouTubeFixture {};

TEST_F(Discovery, NoSignInAndNoUsableTargetIsOffAndEnds) {
  for (const char* target : {"", "ab"}) {  // an invalid target counts as none
    SCOPED_TRACE(target);
    ClearStatuses();
    Start(target);
    ASSERT_TRUE(WaitForStatus(
        {S::Off, "",
         "Sign in with Google, or enter a YouTube channel or video (Channels & accounts)"}));
    hub_->Stop();
    EXPECT_TRUE(clock_.Waits().empty());
    EXPECT_TRUE(web_.Requests().empty());
  }
}

TEST_F(Discovery, UnknownHandleIsAProblemAndEnds) {
  Start("  @NoSuchCreator  ");
  ASSERT_TRUE(
      WaitForStatus({S::Problem, "@NoSuchCreator", "YouTube has no channel @NoSuchCreator"}));
  EXPECT_EQ(Statuses().front(),
            (StatusEntry{S::Connecting, "@NoSuchCreator", "Looking for the live chat…"}));
  std::this_thread::sleep_for(std::chrono::milliseconds{50});
  EXPECT_TRUE(clock_.Waits().empty());
  EXPECT_EQ(web_.RequestCount("/@NoSuchCreator/live"), 1u);
  const auto request = web_.Requests().front();
  EXPECT_EQ(request.Header("Cookie"), "SOCS=CAI; CONSENT=YES+1");
  EXPECT_EQ(request.Header("Accept-Language"), "en-US,en;q=0.9");
  EXPECT_EQ(request.Header("User-Agent"), plx::BrowserUserAgent());
}

TEST_F(Discovery, OfflineChannelChecksAgainEveryMinute) {
  yt_.AddChannel("UCquiet000000000000000001", "quiet", "Quiet");
  Start("https://www.youtube.com/@quiet/live");
  const StatusEntry looking{S::Connecting, "@quiet", "Looking for the live chat…"};
  const StatusEntry offline{S::Offline, "@quiet",
                            "Not live right now - checking again every minute"};
  EXPECT_EQ(Waits(1), (std::vector<int64_t>{60000}));
  clock_.Advance(60000);
  EXPECT_EQ(Waits(2), (std::vector<int64_t>{60000, 60000}));
  EXPECT_EQ(Statuses(), (std::vector<StatusEntry>{looking, offline, looking, offline}));
  EXPECT_EQ(web_.RequestCount("/live_chat"), 0u);
  EXPECT_EQ(api_.Requests().size(), 0u);  // not signed in: no Data API calls
}

TEST_F(Discovery, ChannelThatGoesLiveIsReadFromItsLivePage) {
  AddLiveChannel();
  Start("UClivechannel00000000001");
  ASSERT_TRUE(WaitForStatus({S::Connected, "Live Channel", "Reading (sign in to send)"}));
  EXPECT_EQ(web_.RequestCount("/channel/UClivechannel00000000001/live"), 1u);
}

TEST_F(Discovery, SignedInWithoutTargetFindsTheOwnBroadcast) {
  AddLiveChannel();
  yt_.SetOwnChannel(kChannel);
  accounts_.SignIn("tok", "", "Me On YouTube");
  Start("");
  ASSERT_TRUE(WaitForStatus({S::Connected, "Me On YouTube", "Connected"}));
  EXPECT_EQ(hub_->PlatformIdOf(kYouTube), kChatId);
  EXPECT_TRUE(hub_->GetStatus(kYouTube).canSend);
  const auto requests = api_.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests[0].target,
            "/youtube/v3/liveBroadcasts?part=snippet&mine=true&broadcastStatus=active");
  EXPECT_EQ(requests[0].Header("Authorization"), "Bearer tok");
}

TEST_F(Discovery, OwnChannelBroadcastLookupOnEveryFifthCycle) {
  yt_.AddChannel(kChannel, "livechan", "Live Channel");  // offline
  accounts_.SignIn("tok", kChannel, "Me");
  Start("");
  for (int cycle = 1; cycle <= 6; ++cycle) {
    Waits(cycle);
    clock_.Advance(60000);
  }
  Waits(7);
  EXPECT_EQ(api_.RequestCount(sim::YouTubeSim::kBroadcastsPath), 2u);  // cycles 1 and 6
  EXPECT_EQ(web_.RequestCount("/channel/UClivechannel00000000001/live"), 7u);
}

TEST_F(Discovery, RefusedSignInWithNothingFoundEnds) {
  yt_.SetAcceptedToken("good");
  accounts_.SignIn("stale", "", "Me");
  Start("");
  ASSERT_TRUE(WaitForStatus(
      {S::Problem, "Your live stream", "YouTube did not accept the sign-in - sign in again"}));
  std::this_thread::sleep_for(std::chrono::milliseconds{50});
  EXPECT_TRUE(clock_.Waits().empty());
}

TEST_F(Discovery, QuotaOnTheVideosLookupWithoutPageChat) {
  AddLiveChannel();
  accounts_.SignIn("tok", "", "Me");
  web_.AnswerNext("GET", "/live_chat", 1, sim::HttpAnswer::Status(503));
  api_.AnswerNext("GET", sim::YouTubeSim::kVideosPath, 1,
                  sim::HttpAnswer::Json(sim::YouTubeSim::ApiErrorBody(403, "quotaExceeded"), 403));
  Start("liveVideo01");
  EXPECT_EQ(Waits(1), (std::vector<int64_t>{60000}));
  EXPECT_EQ(Current(), (StatusEntry{S::Offline, "Video liveVideo01",
                                    "YouTube's daily API limit is used up - trying again later"}));
}

TEST_F(Discovery, VideoWithoutChatIsOffline) {
  yt_.AddChannel(kChannel, "livechan", "Live Channel");
  Start("abcDEF12345");
  EXPECT_EQ(Waits(1), (std::vector<int64_t>{60000}));
  EXPECT_EQ(Current(), (StatusEntry{S::Offline, "Video abcDEF12345",
                                    "No live chat to read yet - checking again every minute"}));
}

TEST_F(Discovery, AfterThreeLostFeedsASignedInUserMovesToTheBackupReader) {
  AddLiveChannel();
  accounts_.SignIn("tok", "", "Me");
  web_.AnswerNext("POST", sim::YouTubeSim::kContinuationPath, 1000, sim::HttpAnswer::Status(500));
  clock_.SetAutoAdvance(true);
  Start("@livechan");
  ASSERT_TRUE(WaitForStatus({S::Connected, "Live Channel", "Connected (backup reader)"}));
  clock_.SetAutoAdvance(false);
  EXPECT_EQ(web_.RequestCount("/live_chat"), 3u);
  EXPECT_EQ(web_.RequestCount(sim::YouTubeSim::kContinuationPath), 15u);
  const auto statuses = Statuses();
  EXPECT_EQ(
      std::count(statuses.begin(), statuses.end(),
                 StatusEntry{S::Connecting, "Live Channel", "Lost the chat feed - reconnecting…"}),
      3);
}

}  // namespace
}  // namespace vlo::testing_yt
