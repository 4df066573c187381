#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/Demo.h"
#include "app/Options.h"
#include "app/PrintRun.h"
#include "app/Readers.h"
#include "app/WindowRun.h"
#include "core/AppPaths.h"
#include "core/ChatHub.h"
#include "core/ChatSettings.h"
#include "core/Endpoints.h"

namespace {

constexpr const char* kVersion = "1.1.3";

// Without a window: the hub prints what happens until SIGINT or SIGTERM.
int PrintMode(const vlo::Options& options, const vlo::Endpoints& endpoints,
              const vlo::ChatTargets& targets, bool showAlerts) {
  // SIGINT and SIGTERM are taken by one thread with sigwait, so every other thread (readers,
  // workers) inherits the blocked mask and shutdown runs as ordinary code.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  static std::atomic<bool> stop{false};
  std::thread signalThread{[signals] {
    int received = 0;
    sigwait(&signals, &received);
    stop.store(true);
    vlo::WakePrintRun();
  }};
  signalThread.detach();

  vlo::NoAccounts accounts;
  vlo::ChatHub hub{accounts};
  hub.SetTargets(targets);
  hub.SetShowAlerts(showAlerts);
  vlo::RegisterReaders(hub, endpoints);
  return vlo::RunPrint(hub, std::cout, options.json, stop);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  const vlo::ParsedOptions parsed = vlo::ParseOptions(args);
  if (!parsed.error.empty()) {
    std::cerr << "velaro-chat: " << parsed.error << "\n\n" << vlo::UsageText();
    return 2;
  }
  for (const std::string& arg : parsed.ignored) {
    std::cerr << "velaro-chat: ignoring unknown argument " << arg << "\n";
  }
  const vlo::Options& options = parsed.options;
  if (options.help) {
    std::cout << vlo::UsageText();
    return 0;
  }
  if (options.version) {
    std::cout << "Velaro Chat " << kVersion << "\n";
    return 0;
  }

  vlo::Endpoints endpoints;
  if (options.endpointsFile) {
    std::string error;
    if (!vlo::LoadEndpointsFile(*options.endpointsFile, endpoints, &error)) {
      std::cerr << "velaro-chat: " << error << "\n";
      return 2;
    }
  }

  // The demo reads the simulator's channels with its own addresses, whatever is configured.
  std::unique_ptr<vlo::Demo> demo;
  if (options.demo) {
    demo = std::make_unique<vlo::Demo>(options.demoRate);
    endpoints = demo->GetEndpoints();
  }

  const auto dataFolder = vlo::AppPaths::ResolveDataFolder(options.profile);
  const vlo::ChatSettings settings = vlo::LoadChatSettings(dataFolder);
  std::optional<vlo::ChatTargets> overrideTargets;
  if (demo) {
    overrideTargets = demo->Targets();
  } else if (options.twitch || options.kick || options.youtube) {
    overrideTargets = vlo::ChatTargets{options.twitch.value_or(settings.twitchChannel),
                                       options.kick.value_or(settings.kickChannel),
                                       options.youtube.value_or(settings.youtubeTarget)};
  }

  if (options.print || (!options.screenshot && !vlo::HaveDisplay())) {
    if (!options.print) {
      std::cerr << "velaro-chat: no display found; printing the chat instead (see --help)\n";
    }
    const vlo::ChatTargets targets = overrideTargets.value_or(
        vlo::ChatTargets{settings.twitchChannel, settings.kickChannel, settings.youtubeTarget});
    return PrintMode(options, endpoints, targets, settings.showAlerts);
  }
  return vlo::RunWindow(argc, argv, options, endpoints, overrideTargets,
                        [endpoints](vlo::ChatHub& hub) { vlo::RegisterReaders(hub, endpoints); });
}
