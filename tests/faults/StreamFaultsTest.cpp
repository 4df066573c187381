// The matrix rows of the two chat streams, Twitch chat (IRC over a WebSocket) and Kick's Pusher
// socket: each fault made by the relay (or scripted in the simulator) in front of the real
// reader, on the test clock. A cell checks the texts shown, that the stream comes back by itself
// once the fault ends, that every row the simulator sends after that arrives exactly once, and,
// for a stall, that it is noticed within 60 s.

#include <gtest/gtest.h>

#include <memory>

#include "readers/kick/KickReader.h"
#include "readers/twitch/TwitchReader.h"
#include "sim/faults/FaultRelay.h"
#include "sim/kick/KickFrames.h"
#include "sim/kick/KickSim.h"
#include "sim/twitch/TwitchChatService.h"
#include "sim/twitch/TwitchLines.h"
#include "tests/faults/FaultFixture.h"

namespace vlo::faults {
namespace {

using plx::PlatformId;
using sim::FaultRelay;
using sim::HttpAnswer;
using sim::SimServer;

constexpr size_t kOversize = 5u << 20;  // over the 4 MiB message limit
constexpr int kRetryAfterSeconds = 30;

// One chat stream as the cells drive it.
class Stream {
 public:
  virtual ~Stream() = default;
  virtual PlatformId Platform() const = 0;
  virtual const char* Row() const = 0;
  virtual ReaderEntry Reader(const Endpoints& endpoints) = 0;
  // The endpoints with the stream itself behind the relay.
  virtual Endpoints MakeEndpoints(FaultRelay& relay) = 0;
  virtual SimServer& Server() = 0;
  virtual void SetTargets(ChatHub& hub) = 0;
  virtual std::string UpgradePath() const = 0;
  // Sends one chat message (as one frame) to the reader; false when no client got it.
  virtual bool SendRow(const std::string& id, const std::string& text) = 0;
  virtual bool SendRaw(const std::string& frame) = 0;
};

class TwitchStream final : public Stream {
 public:
  explicit TwitchStream(bool tls)
      : server_{tls ? SimServer::Transport::Tls : SimServer::Transport::Plain} {
    chat_.AddChannel("chan", "1234");
  }
  PlatformId Platform() const override { return PlatformId::Twitch; }
  const char* Row() const override { return "Twitch chat"; }
  ReaderEntry Reader(const Endpoints& endpoints) override { return MakeTwitchReader(endpoints); }
  Endpoints MakeEndpoints(FaultRelay& relay) override {
    Endpoints endpoints;
    endpoints.twitchChat = relay.Rewrite(chat_.ChatUrl());
    return endpoints;
  }
  SimServer& Server() override { return server_; }
  void SetTargets(ChatHub& hub) override { hub.SetTargets({"chan", "", ""}); }
  std::string UpgradePath() const override { return sim::TwitchChatService::kPath; }
  bool SendRow(const std::string& id, const std::string& text) override {
    sim::TwitchViewer viewer;
    viewer.login = "viewer";
    viewer.displayName = "Viewer";
    viewer.userId = "77";
    sim::TwitchChat chat;
    chat.id = id;
    chat.text = text;
    chat.sentMs = 1;
    return SendRaw(sim::TwitchPrivmsgLine({"chan", "1234"}, viewer, chat) + "\r\n");
  }
  bool SendRaw(const std::string& frame) override { return chat_.SendToChannel("chan", frame) > 0; }

 private:
  SimServer server_;
  sim::TwitchChatService chat_{server_};
};

class KickStream final : public Stream {
 public:
  static constexpr int64_t kChatroom = 123;

  explicit KickStream(bool tls)
      : pusher_{tls ? SimServer::Transport::Tls : SimServer::Transport::Plain} {
    kick_.AddChannel({"velaro", kChatroom, 0, "", true});
  }
  PlatformId Platform() const override { return PlatformId::Kick; }
  const char* Row() const override { return "Kick Pusher"; }
  ReaderEntry Reader(const Endpoints& endpoints) override { return MakeKickReader(endpoints); }
  Endpoints MakeEndpoints(FaultRelay& relay) override {
    Endpoints endpoints;
    endpoints.kickWeb = kick_.WebBase();
    endpoints.kickApi = kick_.ApiBase();
    endpoints.pusher = relay.Rewrite(kick_.PusherPattern());
    return endpoints;
  }
  SimServer& Server() override { return pusher_; }
  void SetTargets(ChatHub& hub) override { hub.SetTargets({"", "velaro", ""}); }
  std::string UpgradePath() const override { return std::string{"/app/"} + sim::KickSim::kAppKey; }
  bool SendRow(const std::string& id, const std::string& text) override {
    return SendRaw(
        sim::KickChatFrame(kChatroom, id, {"viewer", 77, "", {}}, text, "2024-05-01T12:00:00Z"));
  }
  bool SendRaw(const std::string& frame) override {
    return kick_.Emit(sim::ChatroomTopic(kChatroom), frame) > 0;
  }

 private:
  SimServer web_;
  SimServer api_;
  SimServer pusher_;
  sim::KickSim kick_{web_, api_, pusher_};
};

enum class Which { Twitch, Kick };

class StreamFaults : public ::testing::TestWithParam<std::tuple<Which, Fault>> {
 protected:
  StreamFaults() {
    TrustSimulator();
    const auto [which, fault] = GetParam();
    // A garbled stream is a plain one: over TLS the garbling only breaks the encryption.
    const bool tls = fault != Fault::Garbage;
    if (which == Which::Twitch) {
      stream_ = std::make_unique<TwitchStream>(tls);
    } else {
      stream_ = std::make_unique<KickStream>(tls);
    }
    relay_ = std::make_unique<FaultRelay>(stream_->Server().Port());
    log_ = std::make_unique<StatusLog>(hub_, stream_->Platform(), clock_);
    hub_.SetChangedCallback([log = log_.get()] { log->Record(); });
  }
  ~StreamFaults() override {
    hub_.Stop();
    hub_.SetChangedCallback({});
  }

  bool Connected() { return log_->Is(ConnectionState::Connected); }

  void Start() {
    stream_->SetTargets(hub_);
    hub_.SetReaderEntry(stream_->Platform(), stream_->Reader(stream_->MakeEndpoints(*relay_)));
    hub_.Start();
    ASSERT_TRUE(Drive(
        clock_, [this] { return Connected(); }, 60'000));
  }

  // Sends rows until they all arrived once each (driving the clock), and checks none came twice.
  // True when every one arrived.
  bool RowsFlow(const std::string& tag, int count = 5) {
    const auto all = [&] {
      const auto bodies = Bodies(hub_, stream_->Platform());
      for (int i = 0; i < count; ++i) {
        if (Count(bodies, tag + std::to_string(i)) == 0) return false;
      }
      return true;
    };
    for (int i = 0; i < count; ++i) {
      if (!stream_->SendRow(tag + "-id-" + std::to_string(i), tag + std::to_string(i))) {
        return false;
      }
    }
    const bool arrived = Drive(clock_, all, 20'000);
    const auto bodies = Bodies(hub_, stream_->Platform());
    for (int i = 0; i < count; ++i) {
      EXPECT_LE(Count(bodies, tag + std::to_string(i)), 1u) << tag << i << " came twice";
    }
    return arrived;
  }

  TestClock clock_;
  NoAccounts accounts_;
  ChatHub hub_{accounts_, clock_};
  std::unique_ptr<Stream> stream_;
  std::unique_ptr<FaultRelay> relay_;
  std::unique_ptr<StatusLog> log_;
};

TEST_P(StreamFaults, NoticedShownAndRecovered) {
  const auto [which, fault] = GetParam();
  Start();
  ASSERT_TRUE(RowsFlow("before"));
  Cell cell{stream_->Row(), fault};
  FaultRelay& relay = *relay_;
  const size_t mark = log_->Size();
  const int64_t start = clock_.NowMs();
  // Faults that hold until they are lifted; the scripted answers end by themselves.
  bool lasting = true;
  switch (fault) {
    case Fault::Drop:
      relay.DropAll();
      lasting = false;
      break;
    case Fault::Stall:
      relay.SetStall(true);
      break;
    case Fault::HalfClose:
      relay.SetHalfClose(true);
      break;
    case Fault::Cut:
      relay.SetCutAfter(30);
      stream_->SendRow("cut-id", std::string(200, 'c'));  // cut in the middle of this frame
      break;
    case Fault::Refuse:
      relay.SetRefuse(true);
      relay.DropAll();
      break;
    case Fault::Garbage:
      relay.SetCorrupt(true);
      stream_->SendRow("garbled-id", "garbled on the way");
      break;
    case Fault::Status4xx:
    case Fault::Status5xx:
    case Fault::Status429: {
      HttpAnswer answer = HttpAnswer::Status(fault == Fault::Status4xx   ? 403
                                             : fault == Fault::Status5xx ? 503
                                                                         : 429);
      if (fault == Fault::Status429) {
        answer.headers.emplace_back("Retry-After", std::to_string(kRetryAfterSeconds));
      }
      stream_->Server().AnswerNext("GET", stream_->UpgradePath(), fault == Fault::Status429 ? 1 : 2,
                                   answer);
      relay.DropAll();
      lasting = false;
      break;
    }
    case Fault::Untrusted:
      relay.SetCertificate(sim::RelayCertificate::Untrusted);
      relay.DropAll();
      break;
    case Fault::Oversize:
      stream_->SendRaw(std::string(kOversize, 'x'));
      lasting = false;
      break;
  }

  const auto notConnected = [](const StatusAt& s) { return s.state != ConnectionState::Connected; };
  ASSERT_TRUE(Drive(
      clock_, [&] { return log_->First(mark, notConnected).has_value(); }, 120'000))
      << "never noticed";
  cell.noticeMs = log_->First(mark, notConnected)->atMs - start;
  if (fault == Fault::Stall) {
    EXPECT_LE(*cell.noticeMs, 60'000) << "a stalled connection must be noticed within 60 s";
  }
  if (lasting) {
    // The reader tries again while the fault lasts, and says why that failed.
    const auto problem = [](const StatusAt& s) { return s.state == ConnectionState::Problem; };
    EXPECT_TRUE(Drive(
        clock_, [&] { return log_->First(mark, problem).has_value(); }, 60'000));
    relay.Clear();
  }
  const int64_t end = clock_.NowMs();
  ASSERT_TRUE(Drive(
      clock_, [this] { return Connected(); }, 180'000))
      << Texts(log_->After(mark));
  ASSERT_TRUE(RowsFlow("after"));
  cell.recoverMs = clock_.NowMs() - end;
  cell.texts = Texts(log_->After(mark));
  cell.Print();

  const std::vector<StatusAt> seen = log_->After(mark);
  const auto saw = [&](const std::string& text) {
    return std::any_of(seen.begin(), seen.end(),
                       [&](const StatusAt& s) { return s.detail.find(text) != std::string::npos; });
  };
  // What each fault must say, beyond the reconnect itself.
  const std::string lead =
      which == Which::Twitch ? "Could not reach Twitch chat (" : "Kick chat connection failed (";
  switch (fault) {
    case Fault::Refuse:
      EXPECT_TRUE(saw(lead + "WebSocket connect failed (connection refused))"));
      break;
    case Fault::Stall:
      EXPECT_TRUE(saw(lead + "WebSocket handshake timed out)"));
      break;
    case Fault::Status4xx:
      EXPECT_TRUE(saw(lead + "WebSocket upgrade rejected (HTTP 403))"));
      break;
    case Fault::Status5xx:
      EXPECT_TRUE(saw(lead + "WebSocket upgrade rejected (HTTP 503))"));
      break;
    case Fault::Status429: {
      // The next attempt waits for the Retry-After.
      const auto refused = log_->First(
          mark, [](const StatusAt& s) { return s.detail.find("HTTP 429") != std::string::npos; });
      ASSERT_TRUE(refused);
      const auto back = log_->First(refused->index + 1, [](const StatusAt& s) {
        return s.state != ConnectionState::Problem;
      });
      ASSERT_TRUE(back);
      EXPECT_GE(back->atMs - refused->atMs, kRetryAfterSeconds * 1000);
      break;
    }
    case Fault::Untrusted:
      EXPECT_TRUE(saw(lead + "the server's certificate is not trusted)"));
      break;
    default:
      break;
  }
  EXPECT_FALSE(saw("(HTTP 500)"));
}

INSTANTIATE_TEST_SUITE_P(Matrix, StreamFaults,
                         ::testing::Combine(::testing::Values(Which::Twitch, Which::Kick),
                                            ::testing::ValuesIn(AllFaults())),
                         [](const ::testing::TestParamInfo<std::tuple<Which, Fault>>& info) {
                           return std::string{std::get<0>(info.param) == Which::Twitch ? "Twitch_"
                                                                                       : "Kick_"} +
                                  ParamName({std::get<1>(info.param), info.index});
                         });

}  // namespace
}  // namespace vlo::faults
