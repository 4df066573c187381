// The matrix row of the Kick channel lookup (the web site's v2 and v1 lookups and the realtime
// credentials, all on one server behind the relay): a connected reader is made to start a new
// cycle, whose lookup meets the fault; once it ends, the reader connects again by itself.

#include <gtest/gtest.h>

#include "readers/kick/KickReader.h"
#include "sim/faults/FaultRelay.h"
#include "sim/kick/KickFrames.h"
#include "sim/kick/KickSim.h"
#include "tests/faults/FaultFixture.h"

namespace vlo::faults {
namespace {

using plx::PlatformId;
using sim::FaultRelay;
using sim::SimServer;
constexpr PlatformId kKick = PlatformId::Kick;
constexpr int64_t kChatroom = 123;

class KickLookupFaults : public ::testing::TestWithParam<Fault> {
 protected:
  KickLookupFaults() {
    TrustSimulator();
    kick_.AddChannel({"velaro", kChatroom, 0, "", true});
    hub_.SetChangedCallback([this] { log_.Record(); });
  }
  ~KickLookupFaults() override {
    hub_.Stop();
    hub_.SetChangedCallback({});
  }

  bool Connected() { return log_.Is(ConnectionState::Connected); }

  bool RowsFlow(const std::string& tag) {
    for (int i = 0; i < 3; ++i) {
      const std::string text = tag + std::to_string(i);
      if (kick_.Emit(sim::ChatroomTopic(kChatroom),
                     sim::KickChatFrame(kChatroom, tag + "-" + std::to_string(i),
                                        {"viewer", 7, "", {}}, text, "2024-05-01T12:00:00Z")) ==
          0) {
        return false;
      }
    }
    const bool all = Drive(
        clock_,
        [&] {
          const auto bodies = Bodies(hub_, kKick);
          for (int i = 0; i < 3; ++i) {
            if (Count(bodies, tag + std::to_string(i)) == 0) return false;
          }
          return true;
        },
        20'000);
    for (int i = 0; i < 3; ++i) EXPECT_LE(Count(Bodies(hub_, kKick), tag + std::to_string(i)), 1u);
    return all;
  }

  SimServer web_{SimServer::Transport::Tls};
  SimServer api_;
  SimServer pusher_;
  sim::KickSim kick_{web_, api_, pusher_};
  FaultRelay relay_{web_.Port()};
  TestClock clock_;
  NoAccounts accounts_;
  ChatHub hub_{accounts_, clock_};
  StatusLog log_{hub_, kKick, clock_};
};

TEST_P(KickLookupFaults, NoticedShownAndRecovered) {
  const Fault fault = GetParam();
  Endpoints endpoints;
  endpoints.kickWeb = relay_.Rewrite(kick_.WebBase());
  kick_.AcceptOrigin(endpoints.kickWeb);
  endpoints.kickApi = kick_.ApiBase();
  endpoints.pusher = kick_.PusherPattern();
  hub_.SetTargets({"", "velaro", ""});
  hub_.SetReaderEntry(kKick, MakeKickReader(endpoints));
  hub_.Start();
  ASSERT_TRUE(Drive(
      clock_, [this] { return Connected(); }, 60'000))
      << Texts(log_.After(0));
  ASSERT_TRUE(RowsFlow("before"));

  Cell cell{"Kick lookup", fault};
  const size_t mark = log_.Size();
  const int64_t start = clock_.NowMs();
  // Both lookup paths meet scripted answers.
  const bool lasting = ApplyHttpFault(fault, relay_, {&web_, "GET", "/api/v2/channels/velaro"}, 1);
  if (fault != Fault::Drop && fault != Fault::Stall && fault != Fault::HalfClose &&
      fault != Fault::Refuse && fault != Fault::Untrusted) {
    ApplyHttpFault(fault, relay_, {&web_, "GET", "/api/v1/channels/velaro"}, 1);
  }
  // The connection ends; the next cycle looks the channel up again.
  for (const auto& peer : pusher_.Peers()) peer->Drop();
  if (fault == Fault::Drop) {
    ASSERT_TRUE(DropInFlight(relay_, clock_));
  }

  const auto problem = [](const StatusAt& s) { return s.state == ConnectionState::Problem; };
  const bool shown = Drive(
      clock_, [&] { return log_.First(mark, problem).has_value(); }, 120'000);
  if (auto first = log_.First(mark, problem)) cell.noticeMs = first->atMs - start;
  if (lasting) relay_.Clear();
  const int64_t end = clock_.NowMs();
  ASSERT_TRUE(Drive(
      clock_, [this] { return Connected(); }, 300'000))
      << Texts(log_.After(mark));
  ASSERT_TRUE(RowsFlow("after"));
  cell.recoverMs = clock_.NowMs() - end;
  cell.texts = Texts(log_.After(mark));
  if (fault == Fault::Drop) cell.note = "only the v2 lookup was reset; v1 answered";
  cell.Print();

  const auto problemText = [&]() -> std::string {
    const auto first = log_.First(mark, problem);
    return first ? first->detail : std::string{};
  };
  switch (fault) {
    case Fault::Drop:
      EXPECT_FALSE(shown);  // the second path found the channel
      break;
    case Fault::Stall:
      EXPECT_EQ(problemText(), "Could not reach Kick (network timeout) - retrying in 30 s");
      break;
    case Fault::HalfClose:
      // Over TLS the end of stream comes in the middle of the handshake.
      EXPECT_EQ(problemText(),
                "Could not reach Kick (network error (connection lost)) - retrying in 30 s");
      break;
    case Fault::Cut:
      EXPECT_EQ(problemText(),
                "Could not reach Kick (network error (connection lost)) - retrying in 30 s");
      break;
    case Fault::Refuse:
      EXPECT_EQ(problemText(),
                "Could not reach Kick (network error (cannot connect)) - retrying in 30 s");
      break;
    case Fault::Garbage:
    case Fault::Status4xx:
      EXPECT_EQ(problemText(), "Kick blocked the channel lookup - retrying in 30 s");
      break;
    case Fault::Status5xx:
      EXPECT_EQ(problemText(), "Kick could not look the channel up (HTTP 503) - retrying in 30 s");
      break;
    case Fault::Status429: {
      EXPECT_EQ(problemText(), "Kick is limiting requests - retrying in 120 s");
      const auto first = log_.First(mark, problem);
      const auto next = log_.First(
          first->index + 1, [](const StatusAt& s) { return s.state != ConnectionState::Problem; });
      ASSERT_TRUE(next);
      EXPECT_GE(next->atMs - first->atMs, kHttpRetryAfterSeconds * 1000);
      break;
    }
    case Fault::Untrusted:
      EXPECT_EQ(
          problemText(),
          "Could not reach Kick (the server's certificate is not trusted) - retrying in 30 s");
      break;
    case Fault::Oversize:
      EXPECT_EQ(problemText(), "Kick's answer was too large to read - retrying in 30 s");
      break;
  }
  if (fault == Fault::Stall) {
    ASSERT_TRUE(cell.noticeMs);
    EXPECT_LE(*cell.noticeMs, 60'000);
  }
}

INSTANTIATE_TEST_SUITE_P(Matrix, KickLookupFaults, ::testing::ValuesIn(AllFaults()), ParamName);

}  // namespace
}  // namespace vlo::faults
