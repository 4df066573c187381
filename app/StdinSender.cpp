#include "app/StdinSender.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "actions/Actions.h"
#include "net/Http.h"
#include "ui/mainwindow/ComposeModel.h"

namespace vlo {

namespace {

constexpr int64_t kReadyWaitMs = 15000;

std::vector<plx::PlatformId> Ready(ChatHub& hub) {
  std::array<PlatformStatus, 3> statuses;
  for (size_t i = 0; i < statuses.size(); ++i) statuses[i] = hub.GetStatus(plx::kReadPlatforms[i]);
  return ReadyPlatforms(statuses);
}

}  // namespace

StdinSender::StdinSender(ChatHub& hub, const Endpoints& endpoints, const std::atomic<bool>& stop,
                         std::ostream& err, std::function<void()> onEnd)
    : hub_{hub}, endpoints_{endpoints}, stop_{stop}, err_{err}, onEnd_{std::move(onEnd)} {
  thread_ = std::thread{[this] { Run(); }};
}

StdinSender::~StdinSender() {
  if (thread_.joinable()) thread_.join();
}

void StdinSender::Run() {
  std::string pending;
  char buffer[4096];
  while (!stop_.load()) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&input, 1, 100);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) continue;
    const ssize_t n = ready > 0 ? ::read(STDIN_FILENO, buffer, sizeof buffer) : -1;
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // end of the input, or it cannot be read
    pending.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = pending.find('\n')) != std::string::npos && !stop_.load()) {
      SendLine(pending.substr(0, end));
      pending.erase(0, end + 1);
    }
  }
  if (!stop_.load() && !pending.empty()) SendLine(pending);
  if (!stop_.load() && onEnd_) onEnd_();
}

void StdinSender::SendLine(const std::string& line) {
  const std::string text{TrimCompose(line)};
  if (text.empty()) return;
  // The compose field's limit, counted as it counts (UTF-16 units); a longer line is not cut.
  if (plx::ToUtf16(text).size() > static_cast<size_t>(kComposeMaxChars)) {
    err_ << "velaro-chat: not sent, longer than " << kComposeMaxChars << " characters: " << text
         << std::endl;
    return;
  }
  std::vector<plx::PlatformId> targets = Ready(hub_);
  // Right after start the chats are still connecting: a line waits for the first ready one.
  for (int64_t waited = 0; targets.empty() && waited < kReadyWaitMs && !stop_.load();
       waited += 100) {
    hub_.GetClock().SleepFor(100);
    targets = Ready(hub_);
  }
  if (targets.empty()) {
    err_ << "velaro-chat: not sent, no chat is ready for sending (sign in with --sign-in=…): "
         << text << std::endl;
    return;
  }
  for (const SendResult& result : Send(hub_, endpoints_, targets, text)) {
    if (result.ok) continue;
    hub_.PostSystemLine(
        result.platform,
        std::string{"Not sent to "} + plx::PlatformName(result.platform) + ": " + result.detail);
  }
}

}  // namespace vlo
