#pragma once

// What the fault tests share: the list of faults, a test clock driven while a condition is
// awaited, a log of one platform's statuses with the clock time of each, and the line each cell
// of the matrix prints.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/ChatHub.h"
#include "core/Clock.h"
#include "net/Http.h"
#include "sim/SimServer.h"
#include "tests/Eventually.h"

namespace vlo::faults {

using namespace std::chrono_literals;

enum class Fault {
  Drop,       // every open connection reset at once
  Stall,      // nothing moves, nothing closes
  HalfClose,  // the client side gets an end of stream
  Cut,        // a connection reset in the middle of a frame or body
  Refuse,     // new connections refused for a while
  Garbage,    // bytes that make no sense (a garbled stream, a body that does not parse)
  Status4xx,
  Status5xx,
  Status429,  // with Retry-After
  Untrusted,  // a certificate from an authority nobody trusts
  Oversize,   // a message or body over the size limits
};

inline const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::Drop:
      return "drop";
    case Fault::Stall:
      return "stall";
    case Fault::HalfClose:
      return "half-close";
    case Fault::Cut:
      return "cut";
    case Fault::Refuse:
      return "refused";
    case Fault::Garbage:
      return "garbage";
    case Fault::Status4xx:
      return "4xx";
    case Fault::Status5xx:
      return "5xx";
    case Fault::Status429:
      return "429";
    case Fault::Untrusted:
      return "untrusted";
    case Fault::Oversize:
      return "oversize";
  }
  return "?";
}

inline const std::vector<Fault>& AllFaults() {
  static const std::vector<Fault> faults{Fault::Drop,      Fault::Stall,     Fault::HalfClose,
                                         Fault::Cut,       Fault::Refuse,    Fault::Garbage,
                                         Fault::Status4xx, Fault::Status5xx, Fault::Status429,
                                         Fault::Untrusted, Fault::Oversize};
  return faults;
}

inline std::string ParamName(const ::testing::TestParamInfo<Fault>& info) {
  std::string name = FaultName(info.param);
  std::replace(name.begin(), name.end(), '-', '_');
  if (name[0] >= '0' && name[0] <= '9') name = "status" + name;
  return name;
}

// Trusts the simulator's test authority for every TLS connection of this process (once).
inline void TrustSimulator() {
  static const bool done = [] {
    plx::TrustExtraCertificateForTests(sim::SimServer::TestCaPath());
    return true;
  }();
  (void)done;
}

// How much longer each step of Drive lasts in real time: a sanitizer slows every exchange on
// loopback down, and the clock must not race ahead of them.
#if defined(__SANITIZE_THREAD__)
inline constexpr int kDrivePace = 10;
#elif defined(__SANITIZE_ADDRESS__)
inline constexpr int kDrivePace = 3;
#else
inline constexpr int kDrivePace = 1;
#endif

// Moves `clock` on while waiting for `done`: 500 ms of the clock every 10 ms of real time (times
// kDrivePace), so the program's waits and time-outs pass 50 times faster than real time while
// loopback exchanges still get the real moments they need. False when `limitMs` of the clock
// passed first.
inline bool Drive(TestClock& clock, const std::function<bool()>& done, int64_t limitMs) {
  for (int64_t moved = 0; moved <= limitMs; moved += 500) {
    for (int i = 0; i < 5; ++i) {
      if (done()) return true;
      std::this_thread::sleep_for(2ms * kDrivePace);
    }
    clock.Advance(500);
  }
  return done();
}

// Polls `done` in real time (bounded) without moving any clock.
using test::Eventually;

struct StatusAt {
  size_t index{0};  // its place in the log
  int64_t atMs{0};  // test clock
  ConnectionState state{ConnectionState::Off};
  std::string detail;
};

// Every status change of one platform, with the clock time it happened at. Installed as the
// hub's change callback; any thread.
class StatusLog {
 public:
  StatusLog(ChatHub& hub, plx::PlatformId platform, Clock& clock)
      : hub_{hub}, platform_{platform}, clock_{clock} {}

  void Record() {
    const PlatformStatus status = hub_.GetStatus(platform_);
    std::lock_guard lock{mutex_};
    if (!log_.empty() && log_.back().state == status.state && log_.back().detail == status.detail) {
      return;
    }
    log_.push_back({log_.size(), clock_.NowMs(), status.state, status.detail});
  }

  // The statuses recorded after the first `mark` ones (a mark is a Size() taken earlier).
  std::vector<StatusAt> After(size_t mark) const {
    std::lock_guard lock{mutex_};
    return {log_.begin() + static_cast<std::ptrdiff_t>(std::min(mark, log_.size())), log_.end()};
  }
  // The first status recorded after the first `mark` ones that `match` accepts.
  std::optional<StatusAt> First(size_t mark,
                                const std::function<bool(const StatusAt&)>& match) const {
    std::lock_guard lock{mutex_};
    for (size_t i = mark; i < log_.size(); ++i) {
      if (match(log_[i])) return log_[i];
    }
    return std::nullopt;
  }
  size_t Size() const {
    std::lock_guard lock{mutex_};
    return log_.size();
  }
  bool Is(ConnectionState state) const { return hub_.GetStatus(platform_).state == state; }

 private:
  ChatHub& hub_;
  const plx::PlatformId platform_;
  Clock& clock_;
  mutable std::mutex mutex_;  // guards log_
  std::vector<StatusAt> log_;
};

// The distinct details seen, in order, joined for the matrix line.
inline std::string Texts(const std::vector<StatusAt>& statuses) {
  std::vector<std::string> seen;
  for (const StatusAt& s : statuses) {
    if (s.detail.empty()) continue;  // the hub's own Off before a reader starts
    const std::string text = std::string{ConnectionStateName(s.state)} + ": " + s.detail;
    if (std::find(seen.begin(), seen.end(), text) == seen.end()) seen.push_back(text);
  }
  std::string joined;
  for (const std::string& text : seen) joined += (joined.empty() ? "" : " / ") + text;
  return joined;
}

// One cell of the matrix, printed as one line ("MATRIX | row | fault | …") so that a run of the
// tests shows the whole table.
struct Cell {
  Cell(std::string rowName, Fault cellFault) : row{std::move(rowName)}, fault{cellFault} {}

  std::string row;
  Fault fault{Fault::Drop};
  std::string texts;
  std::optional<int64_t> noticeMs;   // fault start to the first status that shows it
  std::optional<int64_t> recoverMs;  // fault end to rows flowing again
  std::string note;

  void Print() const {
    std::cout << "MATRIX | " << row << " | " << FaultName(fault) << " | "
              << (noticeMs ? std::to_string(*noticeMs / 1000.0).substr(0, 5) + " s" : "-") << " | "
              << (recoverMs ? std::to_string(*recoverMs / 1000.0).substr(0, 5) + " s" : "-")
              << " | " << texts << (note.empty() ? "" : " | " + note) << std::endl;
  }
};

// The bodies of the rows of one platform; a body seen twice is a duplicate.
inline std::vector<std::string> Bodies(ChatHub& hub, plx::PlatformId platform) {
  std::vector<std::string> out;
  for (const plx::ChatRow& row : hub.Snapshot()) {
    if (row.platform == platform && !plx::HasTag(row, "system")) out.push_back(row.body);
  }
  return out;
}

inline size_t Count(const std::vector<std::string>& all, const std::string& body) {
  return static_cast<size_t>(std::count(all.begin(), all.end(), body));
}

}  // namespace vlo::faults

#include "sim/faults/FaultRelay.h"

namespace vlo::faults {

// Where an HTTP service answers the request a cell scripts.
struct HttpPath {
  sim::SimServer* server{nullptr};
  std::string method;
  std::string path;
};

inline constexpr int kHttpRetryAfterSeconds = 120;
inline constexpr size_t kOversizeBody = plx::kDefaultMaxBodyBytes + (1u << 20);

// Applies an HTTP fault: the relay's modes, or answers scripted at `at` for the next `count`
// requests. Drop stalls the relay so that `Drop` (below) can reset a request in flight. True
// when the fault lasts until the relay is cleared.
inline bool ApplyHttpFault(Fault fault, sim::FaultRelay& relay, const HttpPath& at, int count) {
  using sim::HttpAnswer;
  const auto script = [&](HttpAnswer answer) {
    at.server->AnswerNext(at.method, at.path, count, std::move(answer));
  };
  switch (fault) {
    case Fault::Drop:
    case Fault::Stall:
      relay.SetStall(true);
      return fault == Fault::Stall;
    case Fault::HalfClose:
      relay.SetHalfClose(true);
      return true;
    case Fault::Cut:
      // In the middle of a large answer's body, past any TLS handshake.
      script(HttpAnswer::Json("{\"padding\": \"" + std::string(64 * 1024, 'p') + "\"}"));
      relay.SetCutAfter(16 * 1024);
      return true;
    case Fault::Refuse:
      relay.SetRefuse(true);
      return true;
    case Fault::Garbage:
      script(HttpAnswer::Text("<html><body>}{ not what was asked", "text/html"));
      return false;
    case Fault::Status4xx:
      script(HttpAnswer::Status(403, "{\"error\":\"forbidden\"}"));
      return false;
    case Fault::Status5xx:
      script(HttpAnswer::Status(503, "{\"error\":\"unavailable\"}"));
      return false;
    case Fault::Status429: {
      HttpAnswer answer = HttpAnswer::Status(429, "{\"error\":\"slow down\"}");
      answer.headers.emplace_back("Retry-After", std::to_string(kHttpRetryAfterSeconds));
      script(std::move(answer));
      return false;
    }
    case Fault::Untrusted:
      relay.SetCertificate(sim::RelayCertificate::Untrusted);
      return true;
    case Fault::Oversize:
      script(HttpAnswer::Text(std::string(kOversizeBody, 'x'), "application/json"));
      return false;
  }
  return false;
}

// For Fault::Drop: once a request is stalled in the relay (the clock driven meanwhile), resets
// every connection and lets traffic through again.
inline bool DropInFlight(sim::FaultRelay& relay, TestClock& clock, int64_t limitMs = 120'000) {
  const bool inFlight = Drive(
      clock, [&] { return relay.OpenLinks() > 0; }, limitMs);
  std::this_thread::sleep_for(20ms);  // the request is on its way
  relay.DropAll();
  relay.SetStall(false);
  return inFlight;
}

}  // namespace vlo::faults
