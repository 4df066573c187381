#include "sim/faults/WorldFaults.h"

#include <chrono>
#include <cstdlib>
#include <sstream>

namespace vlo::sim {

namespace {

struct Field {
  const char* service;
  std::string Endpoints::*member;
};

const std::vector<Field>& Fields() {
  static const std::vector<Field> fields{
      {"twitch", &Endpoints::twitchChat},     {"kick", &Endpoints::kickWeb},
      {"kick", &Endpoints::kickApi},          {"pusher", &Endpoints::pusher},
      {"youtube", &Endpoints::youtubeWeb},    {"youtube-api", &Endpoints::youtubeApi},
      {"emotes", &Endpoints::sevenTvApi},     {"emotes", &Endpoints::bttvApi},
      {"emotes", &Endpoints::ffzApi},         {"images", &Endpoints::bttvImages},
      {"images", &Endpoints::twitchEmoteCdn}, {"images", &Endpoints::kickFiles},
  };
  return fields;
}

// The port of a loopback base URL; 0 when it names none.
uint16_t LoopbackPort(const std::string& url) {
  const std::string host = "127.0.0.1:";
  const size_t at = url.find(host);
  if (at == std::string::npos) return 0;
  const long port = std::strtol(url.c_str() + at + host.size(), nullptr, 10);
  return port > 0 && port < 65536 ? static_cast<uint16_t>(port) : 0;
}

std::vector<std::string> Words(std::string_view line) {
  std::istringstream in{std::string{line}};
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// The faults of the rotation, as command words; `secureOnly` ones need a TLS service.
struct RotationFault {
  std::vector<std::string> words;
  bool secureOnly{false};
};

const std::vector<RotationFault>& Rotation() {
  static const std::vector<RotationFault> faults{
      {{"drop"}},
      {{"stall"}},
      {{"halfclose"}},
      {{"cut", "700"}},
      {{"refuse"}},
      {{"delay", "300"}},
      {{"corrupt"}},
      {{"status", "503"}},
      {{"status", "429", "5"}},
      {{"untrusted"}, true},
      {{"otherhost"}, true},
  };
  return faults;
}

std::string Join(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

}  // namespace

const std::vector<std::string>& WorldFaults::ServiceNames() {
  static const std::vector<std::string> names{"twitch",      "kick",   "pusher", "youtube",
                                              "youtube-api", "emotes", "images"};
  return names;
}

std::unique_ptr<WorldFaults> WorldFaults::Create(SimWorld& world,
                                                 const std::vector<std::string>& services,
                                                 std::string* error) {
  std::vector<std::string> wanted;
  for (const std::string& name : services) {
    if (name == "all") {
      wanted = ServiceNames();
      break;
    }
    bool known = false;
    for (const std::string& service : ServiceNames()) known = known || service == name;
    if (!known) {
      if (error)
        *error = "unknown service \"" + name +
                 "\" (known: twitch, kick, pusher, "
                 "youtube, youtube-api, emotes, images, all)";
      return nullptr;
    }
    wanted.push_back(name);
  }
  std::unique_ptr<WorldFaults> faults{new WorldFaults};
  faults->endpoints_ = world.GetEndpoints();
  for (const std::string& name : wanted) {
    Service service{name, false, {}};
    for (const Field& field : Fields()) {
      if (field.service != name) continue;
      std::string& url = faults->endpoints_.*field.member;
      const uint16_t port = LoopbackPort(url);
      if (port == 0) continue;
      std::unique_ptr<FaultRelay>& relay = faults->relays_[port];
      if (!relay) relay = std::make_unique<FaultRelay>(port);
      url = relay->Rewrite(url);
      if (field.member == &Endpoints::kickWeb) world.Kick().AcceptOrigin(url);
      service.secure = url.starts_with("https:") || url.starts_with("wss:");
      service.relays.push_back(relay.get());
    }
    faults->services_.push_back(std::move(service));
  }
  return faults;
}

WorldFaults::~WorldFaults() {
  stop_.store(true);
  if (rotation_.joinable()) rotation_.join();
}

std::string WorldFaults::Command(std::string_view line) {
  std::lock_guard lock{commandMutex_};
  std::vector<std::string> words = Words(line);
  if (words.empty()) return {};
  if (words[0] == "help") return kHelp;
  if (words.size() == 1 && words[0] == "clear") words = {"all", "clear"};
  if (words.size() < 2) return std::string{"error: "} + kHelp;
  const std::string target = words[0];
  words.erase(words.begin());
  std::string done;
  for (Service& service : services_) {
    if (target != "all" && service.name != target) continue;
    const std::string result = Apply(service, words);
    if (result.starts_with("error:")) return result;
    done += (done.empty() ? "" : "; ") + result;
  }
  return done.empty() ? "error: no relay in front of \"" + target + "\"" : done;
}

std::string WorldFaults::Apply(Service& service, const std::vector<std::string>& words) {
  const std::string& fault = words[0];
  const long value = words.size() > 1 ? std::strtol(words[1].c_str(), nullptr, 10) : 0;
  for (FaultRelay* relay : service.relays) {
    if (fault == "drop") {
      relay->DropAll();
    } else if (fault == "stall") {
      relay->SetStall(true);
    } else if (fault == "halfclose") {
      relay->SetHalfClose(true);
    } else if (fault == "cut" && value > 0) {
      relay->SetCutAfter(static_cast<size_t>(value));
    } else if (fault == "refuse") {
      relay->SetRefuse(true);
    } else if (fault == "delay" && value > 0) {
      relay->SetDelay(static_cast<int>(value));
    } else if (fault == "corrupt") {
      relay->SetCorrupt(true);
    } else if (fault == "untrusted") {
      relay->SetCertificate(RelayCertificate::Untrusted);
    } else if (fault == "otherhost") {
      relay->SetCertificate(RelayCertificate::OtherHost);
    } else if (fault == "status" && value >= 100 && value <= 599) {
      const long retryAfter = words.size() > 2 ? std::strtol(words[2].c_str(), nullptr, 10) : 0;
      relay->SetAnswer(static_cast<int>(value), static_cast<int>(retryAfter));
    } else if (fault == "clear") {
      relay->Clear();
    } else {
      return std::string{"error: "} + kHelp;
    }
  }
  return service.name + " " + Join(words);
}

void WorldFaults::StartRotation(int everyMs, int lengthMs,
                                std::function<void(const std::string&)> log) {
  if (rotation_.joinable() || services_.empty()) return;
  log_ = std::move(log);
  rotation_ = std::thread{[this, everyMs, lengthMs] { Rotate(everyMs, lengthMs); }};
}

// Rotation thread.
void WorldFaults::Rotate(int everyMs, int lengthMs) {
  using namespace std::chrono;
  const auto sleepUntil = [this](steady_clock::time_point until) {
    while (!stop_.load() && steady_clock::now() < until) std::this_thread::sleep_for(50ms);
    return !stop_.load();
  };
  auto next = steady_clock::now() + milliseconds{everyMs};
  for (size_t step = 0; sleepUntil(next); ++step) {
    const Service& service = services_[step % services_.size()];
    const RotationFault* fault = nullptr;
    for (size_t tried = 0; tried < Rotation().size() && !fault; ++tried) {
      const RotationFault& candidate =
          Rotation()[(step / services_.size() + tried) % Rotation().size()];
      if (!candidate.secureOnly || service.secure) fault = &candidate;
    }
    const std::string started = Command(service.name + " " + Join(fault->words));
    if (log_) log_("fault start: " + started);
    if (!sleepUntil(steady_clock::now() + milliseconds{lengthMs})) return;
    const std::string ended = Command(service.name + " clear");
    if (log_) log_("fault end: " + ended);
    next += milliseconds{everyMs};
  }
}

}  // namespace vlo::sim
