// The matrix rows of YouTube: the live page (discovery meets the fault on its first cycle), the
// continuation feed (the page reader polls through the fault) and the Data API reader (polls
// through the fault), each with its server behind the relay on TLS.

#include <gtest/gtest.h>

#include "readers/youtube/YouTubeReader.h"
#include "sim/faults/FaultRelay.h"
#include "sim/youtube/YouTubeSim.h"
#include "tests/faults/FaultFixture.h"

namespace vlo::faults {
namespace {

using plx::PlatformId;
using sim::FaultRelay;
using sim::SimServer;
using sim::YouTubeSim;
constexpr PlatformId kYouTube = PlatformId::YouTube;
constexpr const char* kChannel = "UClivechannel00000000001";
constexpr const char* kVideo = "liveVideo01";

// Signed in to YouTube or not; any thread.
class Accounts final : public AccountOperations {
 public:
  explicit Accounts(bool signedIn) : signedIn_{signedIn} {}
  std::optional<plx::TokenRecord> GetFreshToken(PlatformId p) override {
    if (!signedIn_ || p != kYouTube) return std::nullopt;
    plx::TokenRecord token;
    token.accessToken = "yt-token";
    return token;
  }
  plx::AccountInfo AccountFromStore(PlatformId p) override {
    plx::AccountInfo info;
    info.signedIn = signedIn_ && p == kYouTube;
    return info;
  }
  plx::AccountInfo LookupAccount(PlatformId p) override { return AccountFromStore(p); }
  std::string ClientIdFor(PlatformId) override { return {}; }

 private:
  const bool signedIn_;
};

enum class Row { LivePage, Feed, DataApi };

const char* RowName(Row row) {
  return row == Row::LivePage ? "YouTube live page"
         : row == Row::Feed   ? "YouTube continuation feed"
                              : "YouTube Data API";
}

class YouTubeFaults : public ::testing::TestWithParam<std::tuple<Row, Fault>> {
 protected:
  YouTubeFaults() : accounts_{std::get<0>(GetParam()) == Row::DataApi} {
    TrustSimulator();
    yt_.SetPagePadding(16 * 1024);
    yt_.AddChannel(kChannel, "livechan", "Live Channel");
    yt_.StartStream(kChannel, kVideo, "chat-live-1");
    hub_.SetChangedCallback([this] { log_.Record(); });
  }
  ~YouTubeFaults() override {
    hub_.Stop();
    hub_.SetChangedCallback({});
  }

  void Start() {
    Endpoints endpoints;
    endpoints.youtubeWeb = webRelay_.Rewrite(web_.BaseUrl());
    endpoints.youtubeApi = apiRelay_.Rewrite(api_.BaseUrl());
    if (Which() == Row::DataApi) {
      // No chat on the page: a signed-in reader falls back to the Data API.
      web_.AnswerNext("GET", "/live_chat", 1'000'000, sim::HttpAnswer::Status(404));
      hub_.SetTargets({"", "", kVideo});
    } else {
      hub_.SetTargets({"", "", "@livechan"});
    }
    hub_.SetReaderEntry(kYouTube, MakeYouTubeReader(endpoints));
    hub_.Start();
  }

  Row Which() const { return std::get<0>(GetParam()); }
  bool Connected() { return log_.Is(ConnectionState::Connected); }

  void Push(const std::string& tag, int count) {
    for (int i = 0; i < count; ++i) {
      yt_.PushText(kVideo, {"Viewer", "UCviewer000000000000000a"}, tag + std::to_string(i));
    }
  }
  // True when each of the `count` bodies arrived; none may arrive twice.
  bool Arrived(const std::string& tag, int count, int64_t limitMs = 60'000) {
    const auto all = [&] {
      const auto bodies = Bodies(hub_, kYouTube);
      for (int i = 0; i < count; ++i) {
        if (Count(bodies, tag + std::to_string(i)) == 0) return false;
      }
      return true;
    };
    const bool arrived = Drive(clock_, all, limitMs);
    const auto bodies = Bodies(hub_, kYouTube);
    for (int i = 0; i < count; ++i) {
      EXPECT_LE(Count(bodies, tag + std::to_string(i)), 1u) << tag << i << " came twice";
    }
    return arrived;
  }

  SimServer web_{SimServer::Transport::Tls};
  SimServer api_{SimServer::Transport::Tls};
  YouTubeSim yt_{web_, api_};
  FaultRelay webRelay_{web_.Port()};
  FaultRelay apiRelay_{api_.Port()};
  Accounts accounts_;
  TestClock clock_;
  ChatHub hub_{accounts_, clock_};
  StatusLog log_{hub_, kYouTube, clock_};
};

TEST_P(YouTubeFaults, NoticedShownAndRecovered) {
  const auto [row, fault] = GetParam();
  Cell cell{RowName(row), fault};
  FaultRelay& relay = row == Row::DataApi ? apiRelay_ : webRelay_;
  const HttpPath at = row == Row::LivePage ? HttpPath{&web_, "GET", "/@livechan/live"}
                      : row == Row::Feed   ? HttpPath{&web_, "POST", YouTubeSim::kContinuationPath}
                                           : HttpPath{&api_, "GET", YouTubeSim::kMessagesPath};
  int64_t start = 0;
  size_t mark = 0;
  bool lasting = false;
  if (row == Row::LivePage) {
    // Discovery meets the fault at once.
    start = clock_.NowMs();
    lasting = ApplyHttpFault(fault, relay, at, 1);
    Start();
    if (fault == Fault::Drop) {
      ASSERT_TRUE(DropInFlight(relay, clock_));
    }
  } else {
    Start();
    ASSERT_TRUE(Drive(
        clock_, [this] { return Connected(); }, 120'000));
    Push("before", 3);
    ASSERT_TRUE(Arrived("before", 3));
    start = clock_.NowMs();
    mark = log_.Size();
    lasting = ApplyHttpFault(fault, relay, at, 1);
    if (fault == Fault::Drop) {
      ASSERT_TRUE(DropInFlight(relay, clock_));
    }
  }
  // Chat said while the fault lasts: the feed keeps its place, so it must arrive afterwards.
  if (row != Row::LivePage) Push("during", 3);

  const auto shows = [row = row](const StatusAt& s) {
    return row == Row::LivePage
               ? s.state == ConnectionState::Problem || s.state == ConnectionState::Offline
               : s.state != ConnectionState::Connected;
  };
  // A poll reset on a kept-alive connection may be sent again at once by the HTTP client on a
  // fresh one: the reader never sees a failure, and the chat of the moment arrives all the same.
  const bool quietRetryAllowed = fault == Fault::Drop && row != Row::LivePage;
  const auto duringArrived = [&] {
    const auto bodies = Bodies(hub_, kYouTube);
    for (int i = 0; i < 3; ++i) {
      if (Count(bodies, "during" + std::to_string(i)) == 0) return false;
    }
    return true;
  };
  ASSERT_TRUE(Drive(
      clock_,
      [&] { return log_.First(mark, shows).has_value() || (quietRetryAllowed && duringArrived()); },
      120'000))
      << Texts(log_.After(mark));
  const std::optional<StatusAt> shownAt = log_.First(mark, shows);
  if (shownAt) {
    cell.noticeMs = shownAt->atMs - start;
  } else {
    cell.note = "the reset poll was sent again at once by the HTTP client; nothing to show";
  }
  if (lasting) relay.Clear();
  const int64_t end = clock_.NowMs();
  ASSERT_TRUE(Drive(
      clock_, [this] { return Connected(); }, 300'000))
      << Texts(log_.After(mark));
  if (row != Row::LivePage) {
    EXPECT_TRUE(Arrived("during", 3)) << "chat of the fault was lost";
  }
  Push("after", 3);
  ASSERT_TRUE(Arrived("after", 3));
  cell.recoverMs = clock_.NowMs() - end;
  cell.texts = Texts(log_.After(mark));
  cell.Print();

  if (fault == Fault::Stall) {
    ASSERT_TRUE(cell.noticeMs);
    EXPECT_LE(*cell.noticeMs, 60'000);
  }
  if (!shownAt) return;
  const StatusAt& shown = *shownAt;
  const std::string& text = shown.detail;
  if (row == Row::LivePage) {
    const std::string again =
        fault == Fault::Status429 ? " - retrying in 120 s" : " - retrying in 60 s";
    switch (fault) {
      case Fault::Garbage:
      case Fault::Status4xx:
        // The site answered, with a page that shows no stream.
        EXPECT_EQ(text, "Not live right now - checking again every minute");
        break;
      case Fault::Status5xx:
        EXPECT_EQ(text, "YouTube answered HTTP 503" + again);
        break;
      case Fault::Status429:
        EXPECT_EQ(text, "YouTube answered HTTP 429" + again);
        break;
      case Fault::Oversize:
        // YouTube did answer: no connection to blame.
        EXPECT_EQ(text, "YouTube's answer was too large to read" + again);
        break;
      default:
        EXPECT_TRUE(text.starts_with("Could not reach YouTube (") && text.ends_with(")" + again))
            << text;
    }
    return;
  }
  const std::string lead = row == Row::Feed ? "the chat feed" : "the YouTube API";
  switch (fault) {
    case Fault::Garbage:
      if (row == Row::Feed) {
        EXPECT_EQ(text, "The chat feed sent an unreadable answer - retrying…");
      }
      break;
    case Fault::Status4xx:
      if (row == Row::Feed) {
        EXPECT_EQ(text, "The chat feed answered HTTP 403 - retrying…");
      }
      break;
    case Fault::Status5xx:
      EXPECT_TRUE(text.ends_with("answered HTTP 503 - retrying…")) << text;
      break;
    case Fault::Status429: {
      EXPECT_TRUE(text.ends_with("answered HTTP 429 - retrying…")) << text;
      const auto back = log_.First(
          shown.index + 1, [](const StatusAt& s) { return s.state == ConnectionState::Connected; });
      ASSERT_TRUE(back);
      EXPECT_GE(back->atMs - shown.atMs, kHttpRetryAfterSeconds * 1000);
      break;
    }
    case Fault::Oversize:
      EXPECT_EQ(text, row == Row::Feed
                          ? "The chat feed's answer was too large to read - retrying…"
                          : "The YouTube API's answer was too large to read - retrying…");
      break;
    default:
      EXPECT_TRUE(text.starts_with("Could not reach " + lead + " (")) << text;
  }
}

// For the Data API a 403 that is no quota refusal means the chat ended: the reader waits for the
// next stream and finds this one again.
INSTANTIATE_TEST_SUITE_P(Matrix, YouTubeFaults,
                         ::testing::Combine(::testing::Values(Row::LivePage, Row::Feed,
                                                              Row::DataApi),
                                            ::testing::ValuesIn(AllFaults())),
                         [](const ::testing::TestParamInfo<std::tuple<Row, Fault>>& info) {
                           const Row row = std::get<0>(info.param);
                           return std::string{row == Row::LivePage ? "LivePage_"
                                              : row == Row::Feed   ? "Feed_"
                                                                   : "DataApi_"} +
                                  ParamName({std::get<1>(info.param), info.index});
                         });

}  // namespace
}  // namespace vlo::faults
