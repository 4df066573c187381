#include <atomic>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "accounts/AccountService.h"
#include "accounts/SecretStore.h"
#include "app/Demo.h"
#include "app/Options.h"
#include "app/PrintOverlay.h"
#include "app/PrintRun.h"
#include "app/Readers.h"
#include "app/StdinSender.h"
#include "app/StopSignals.h"
#include "app/TerminalAccounts.h"
#include "app/WindowRun.h"
#include "core/AppPaths.h"
#include "core/ChatHub.h"
#include "core/ChatSettings.h"
#include "core/Endpoints.h"
#include "core/TextRules.h"
#include "core/Version.h"

namespace {

std::atomic<bool> gStop{false};

// On the signal thread: every terminal mode notices the stop, and a window closes as the user
// would close it.
void OnStopSignal() {
  gStop.store(true);
  vlo::WakePrintRun();
  vlo::CancelTerminalSignIn();
  vlo::RequestWindowClose();
}

// Without a window: the hub prints what happens until SIGINT or SIGTERM.
int PrintMode(const vlo::Options& options, const vlo::Endpoints& endpoints,
              const std::filesystem::path& dataFolder, const vlo::ChatTargets& targets,
              const vlo::ChatSettings& settings) {
  // The account service reads the stored sign-ins, so the readers read signed in where they can.
  std::unique_ptr<vlo::SecretStore> store;
  try {
    store = std::make_unique<vlo::SecretStore>(dataFolder);
  } catch (const std::filesystem::filesystem_error& e) {
    std::cerr << "velaro-chat: cannot create the data folder " << dataFolder.string() << " ("
              << e.code().message() << "); reading without the stored sign-ins\n";
  }
  std::unique_ptr<vlo::AccountService> accounts;
  vlo::NoAccounts noAccounts;
  if (store) accounts = std::make_unique<vlo::AccountService>(*store, endpoints, vlo::UrlOpener{});
  vlo::ChatHub hub{accounts ? static_cast<vlo::AccountOperations&>(*accounts) : noAccounts};
  hub.SetTargets(targets);
  hub.SetShowAlerts(settings.showAlerts);
  vlo::RegisterReaders(hub, endpoints);
  std::unique_ptr<vlo::PrintOverlay> overlay;
  if (options.overlay) {
    overlay = std::make_unique<vlo::PrintOverlay>(hub, endpoints, dataFolder,
                                                  options.overlayPort.value_or(settings.overlayPort),
                                                  settings.thirdPartyEmotes);
    std::string error;
    if (!overlay->Start(&error)) {
      std::cerr << "velaro-chat: " << error << "\n";
      return 1;
    }
    std::cerr << "velaro-chat: overlay at " << vlo::OverlayServer::PageAddress(overlay->Port())
              << "\n";
  }
  std::unique_ptr<vlo::StdinSender> sender;
  if (options.sendStdin) {
    // At the end of the input, once every line went out, the run ends as on a stop signal.
    sender = std::make_unique<vlo::StdinSender>(hub, endpoints, gStop, std::cerr, [] {
      gStop.store(true);
      vlo::WakePrintRun();
    });
  }
  const int code = vlo::RunPrint(hub, std::cout, options.json, gStop);
  sender.reset();
  overlay.reset();  // the hub has stopped: no reader calls into it any more
  return code;
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
    std::cerr << "velaro-chat: ignoring unknown argument " << vlo::QuoteForTerminal(arg) << "\n";
  }
  const vlo::Options& options = parsed.options;
  if (options.help) {
    std::cout << vlo::UsageText();
    return 0;
  }
  if (options.version) {
    std::cout << "Velaro Chat " << vlo::kAppVersion << "\n";
    return 0;
  }

  // Before any thread starts (the demo's simulator among them), so that none takes the signal;
  // in every mode, the window's too.
  vlo::CatchStopSignals(OnStopSignal);

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
  if (options.signIn) {
    return vlo::RunTerminalSignIn(*options.signIn, endpoints, dataFolder, std::cout, std::cerr);
  }
  if (options.signOut) {
    return vlo::RunTerminalSignOut(*options.signOut, endpoints, dataFolder, std::cout, std::cerr);
  }
  const vlo::ChatSettings settings = vlo::LoadChatSettings(dataFolder);
  std::optional<vlo::ChatTargets> overrideTargets;
  if (demo) {
    overrideTargets = demo->Targets();
  } else if (options.twitch || options.kick || options.youtube) {
    overrideTargets = vlo::ChatTargets{options.twitch.value_or(settings.twitchChannel),
                                       options.kick.value_or(settings.kickChannel),
                                       options.youtube.value_or(settings.youtubeTarget)};
  }

  if (options.print || (!options.ScreenshotRun() && !vlo::HaveDisplay())) {
    if (!options.print) {
      std::cerr << "velaro-chat: no display found; printing the chat instead (see --help)\n";
    }
    const vlo::ChatTargets targets = overrideTargets.value_or(
        vlo::ChatTargets{settings.twitchChannel, settings.kickChannel, settings.youtubeTarget});
    return PrintMode(options, endpoints, dataFolder, targets, settings);
  }
  return vlo::RunWindow(argc, argv, options, endpoints, overrideTargets,
                        [endpoints](vlo::ChatHub& hub) { vlo::RegisterReaders(hub, endpoints); });
}
