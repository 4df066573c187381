// The matrix rows of the emote catalogues and the image servers: a catalogue download and an
// image download meet each fault through the relay (TLS end to end), and come back by
// themselves once it ends, on the test clock.

#include <gtest/gtest.h>

#include <atomic>

#include "emotes/EmoteRegistry.h"
#include "emotes/ImageCache.h"
#include "sim/emotes/ImageEncoders.h"
#include "sim/faults/FaultRelay.h"
#include "tests/TempDir.h"
#include "tests/faults/FaultFixture.h"

namespace vlo::faults {
namespace {

using sim::FaultRelay;
using sim::HttpAnswer;
using sim::SimServer;

constexpr const char* kGlobalPath = "/v3/emote-sets/global";
constexpr const char* kSevenTvSet = R"({"emotes": [{"name": "catJAM", "data": {"animated": false,
  "host": {"url": "//cdn.example/emote/1", "files": [{"name": "2x.png"}]}}}]})";

class CatalogueFaults : public ::testing::TestWithParam<Fault> {
 protected:
  CatalogueFaults() {
    TrustSimulator();
    server_.Route("GET", kGlobalPath,
                  [](const sim::HttpExchange&) { return HttpAnswer::Json(kSevenTvSet); });
    endpoints_.sevenTvApi = relay_.Rewrite(server_.BaseUrl());
    endpoints_.bttvApi = endpoints_.ffzApi = server_.BaseUrl();  // 404: no set, no failure
    registry_ = std::make_unique<EmoteRegistry>(endpoints_, clock_);
    registry_->SetOnChange([this] {
      for (FetchReport& report : registry_->TakeReports()) {
        if (report.source != EmoteSource::SevenTv) continue;
        std::lock_guard lock{mutex_};
        reports_.push_back({clock_.NowMs(), std::move(report)});
      }
    });
  }
  ~CatalogueFaults() override {
    registry_->SetOnChange({});
    registry_->Stop();
  }

  std::optional<std::pair<int64_t, FetchReport>> FirstReport() {
    std::lock_guard lock{mutex_};
    if (reports_.empty()) return std::nullopt;
    return reports_.front();
  }

  SimServer server_{SimServer::Transport::Tls};
  FaultRelay relay_{server_.Port()};
  Endpoints endpoints_;
  TestClock clock_;
  std::unique_ptr<EmoteRegistry> registry_;
  std::mutex mutex_;  // guards reports_; the registry reports on its download threads
  std::vector<std::pair<int64_t, FetchReport>> reports_;
};

TEST_P(CatalogueFaults, FailedWithTheReasonAndFetchedAgain) {
  const Fault fault = GetParam();
  Cell cell{"emote catalogue", fault};
  const int64_t start = clock_.NowMs();
  const bool lasting = ApplyHttpFault(fault, relay_, {&server_, "GET", kGlobalPath}, 1);
  registry_->FetchGlobals();
  if (fault == Fault::Drop) {
    ASSERT_TRUE(DropInFlight(relay_, clock_));
  }
  ASSERT_TRUE(Drive(
      clock_, [this] { return FirstReport().has_value(); }, 60'000));
  const auto [at, report] = *FirstReport();
  cell.noticeMs = at - start;
  cell.texts = report.failed ? "failed: " + report.reason : "loaded";
  EXPECT_TRUE(report.failed);
  EXPECT_FALSE(registry_->Find(plx::PlatformId::Twitch, "catJAM"));
  if (lasting) relay_.Clear();
  const int64_t end = clock_.NowMs();
  ASSERT_TRUE(Drive(
      clock_, [this] { return registry_->Find(plx::PlatformId::Twitch, "catJAM").has_value(); },
      600'000));
  cell.recoverMs = clock_.NowMs() - end;
  cell.Print();
  if (fault == Fault::Stall) {
    EXPECT_LE(*cell.noticeMs, 60'000);
  }

  switch (fault) {
    case Fault::Stall:
      EXPECT_EQ(report.reason, "network timeout");
      break;
    case Fault::Refuse:
      EXPECT_EQ(report.reason, "network error (cannot connect)");
      break;
    case Fault::Garbage:
      EXPECT_EQ(report.reason, "unreadable answer");
      break;
    case Fault::Status4xx:
      EXPECT_EQ(report.reason, "HTTP 403");
      break;
    case Fault::Status5xx:
      EXPECT_EQ(report.reason, "HTTP 503");
      break;
    case Fault::Status429:
      EXPECT_EQ(report.reason, "HTTP 429");
      EXPECT_GE(*cell.recoverMs, kHttpRetryAfterSeconds * 1000 - *cell.noticeMs);
      break;
    case Fault::Untrusted:
      EXPECT_EQ(report.reason, "the server's certificate is not trusted");
      break;
    case Fault::Oversize:
      EXPECT_EQ(report.reason, "answer too large");
      break;
    default:
      EXPECT_TRUE(report.reason.starts_with("network error (")) << report.reason;
  }
  // One report for the failure and one for the download that worked: retries that fail again
  // say nothing new.
  std::lock_guard lock{mutex_};
  EXPECT_EQ(reports_.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Matrix, CatalogueFaults, ::testing::ValuesIn(AllFaults()), ParamName);

// Images: the sizes the image pipeline takes, and its limit of 8 MiB.
class ImageFaults : public ::testing::TestWithParam<Fault> {
 protected:
  ImageFaults() {
    TrustSimulator();
    sim::RgbaImage picture{28, 28};
    for (size_t i = 3; i < picture.rgba.size(); i += 4) picture.rgba[i] = 255;
    png_ = sim::EncodePng(picture);
    server_.RoutePrefix("GET", "/emoticons/v2/", [this](const sim::HttpExchange&) {
      return HttpAnswer::Text(png_, "image/png");
    });
    cache_.SetOnArrival([this] { ++arrivals_; });
  }
  ~ImageFaults() override { cache_.SetOnArrival({}); }

  std::string Key(const std::string& id) const {
    return relay_.Rewrite(server_.BaseUrl()) + Path(id);
  }
  static std::string Path(const std::string& id) {
    return "/emoticons/v2/" + id + "/default/dark/2.0";
  }
  // Asks for the key (again) until it loaded or failed, driving the clock.
  bool Settle(const std::string& key, int64_t limitMs = 60'000) {
    return Drive(
        clock_, [&] { return cache_.GetImage(key) != nullptr || cache_.IsFailed(key); }, limitMs);
  }

  std::string png_;
  SimServer server_{SimServer::Transport::Tls};
  FaultRelay relay_{server_.Port()};
  test::TempDir dir_;
  TestClock clock_;
  std::atomic<int> arrivals_{0};
  ImageCache cache_{dir_.path() / "emotes", 2, clock_};
};

TEST_P(ImageFaults, FailedForAWhileThenLoaded) {
  const Fault fault = GetParam();
  Cell cell{"image server", fault};
  ASSERT_TRUE(Settle(Key("1")));
  ASSERT_TRUE(cache_.GetImage(Key("1")));

  const std::string key = Key("2");
  const int64_t start = clock_.NowMs();
  const bool lasting = ApplyHttpFault(fault, relay_, {&server_, "GET", Path("2")}, 1);
  cache_.GetImage(key);
  if (fault == Fault::Drop) {
    ASSERT_TRUE(DropInFlight(relay_, clock_));
  }
  ASSERT_TRUE(Drive(
      clock_, [&] { return cache_.IsFailed(key); }, 60'000));
  cell.noticeMs = clock_.NowMs() - start;
  if (lasting) relay_.Clear();
  const int64_t end = clock_.NowMs();

  // Refusals, bytes that are no image and a body over the limit are final for the run; any
  // failure of the network is tried again when the image is next asked for.
  const bool final =
      fault == Fault::Status4xx || fault == Fault::Garbage || fault == Fault::Oversize;
  const bool loaded = Drive(
      clock_, [&] { return cache_.GetImage(key) != nullptr; }, final ? 120'000 : 600'000);
  EXPECT_EQ(loaded, !final);
  if (loaded) cell.recoverMs = clock_.NowMs() - end;
  // Whatever happened to that key, the server is back for every other one.
  ASSERT_TRUE(Settle(Key("3")));
  EXPECT_TRUE(cache_.GetImage(Key("3")));
  cell.texts = final ? "failed for the run (the emote's code is shown)"
                     : "failed, asked for again after the wait";
  cell.Print();
  if (fault == Fault::Stall) {
    EXPECT_LE(*cell.noticeMs, 60'000);
  }
  if (fault == Fault::Status429) {
    EXPECT_GE(clock_.NowMs() - start, kHttpRetryAfterSeconds * 1000);
  }
}

INSTANTIATE_TEST_SUITE_P(Matrix, ImageFaults, ::testing::ValuesIn(AllFaults()), ParamName);

}  // namespace
}  // namespace vlo::faults
