// Load run: the main window signed in to the simulator's three channels (so the compose bar is
// live and the readers hold signed-in connections), reading them at a given total rate, with
// emotes, for a given time. Prints the window thread's busy share, the refresh rate and the
// resident memory at the end. With "rules", ten highlight rules and five hide rules are active.
//   window_load [SECONDS=60] [MESSAGES_PER_SECOND=200] [rules]

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "core/AppPaths.h"
#include "net/Http.h"
#include "readers/kick/KickReader.h"
#include "readers/twitch/TwitchReader.h"
#include "readers/youtube/YouTubeReader.h"
#include "sim/world/SimWorld.h"
#include "ui/chatview/ChatView.h"
#include "ui/mainwindow/ChatWindow.h"

namespace {

long ResidentKiB() {
  std::ifstream status{"/proc/self/status"};
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  const double rate = argc > 2 ? std::atof(argv[2]) : 200;
  const bool rules = argc > 3 && std::string{argv[3]} == "rules";
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // The tokens of this run stay in its scratch folder, not in the desktop's keyring.
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
  QApplication app{argc, argv};
  QTemporaryDir scratch;
  if (!scratch.isValid()) {
    std::fprintf(stderr, "window_load: cannot make a temporary folder\n");
    return 1;
  }
  const std::string dataFolder = scratch.path().toStdString();

  vlo::sim::SimWorldOptions worldOptions;
  worldOptions.twitchRate = rate * 0.4;
  worldOptions.kickRate = rate * 0.35;
  worldOptions.youtubeRate = rate * 0.25;
  vlo::sim::SimWorld world{worldOptions};
  world.Accounts().SetAutoApprove(0);
  plx::TrustExtraCertificateForTests(vlo::sim::SimServer::TestCaPath());

  if (rules) {
    vlo::ChatSettings settings;
    settings.highlightWords = {"hype", "pog", "clip it", "gg", "raid"};
    settings.highlightPatterns = {R"(\bw+o+w+\b)", R"(^!\w+)", R"(\d{3,})"};
    settings.highlightUsers = {"moss_man", "kick:turbo_tim"};
    settings.ignoreUsers = {"nightbot", "twitch:spammer", "youtube:Bot Account"};
    settings.ignorePatterns = {R"(buy (cheap )?followers)", R"(https?://\S+\.ru\b)"};
    vlo::SaveChatSettings(dataFolder, settings);
  }

  vlo::ChatWindow::Options options;
  options.dataFolder = dataFolder;
  options.endpoints = world.GetEndpoints();
  options.targetOverride = world.DemoTargets();
  // The browser's part of a sign-in: visiting the portal's page.
  options.openUrl = [](const std::string& url) { plx::Get(url, 5000); };
  options.registerReaders = [endpoints = world.GetEndpoints()](vlo::ChatHub& hub) {
    hub.SetReaderEntry(plx::PlatformId::Twitch, vlo::MakeTwitchReader(endpoints));
    hub.SetReaderEntry(plx::PlatformId::YouTube, vlo::MakeYouTubeReader(endpoints));
    hub.SetReaderEntry(plx::PlatformId::Kick, vlo::MakeKickReader(endpoints));
  };
  auto window = std::make_unique<vlo::ChatWindow>(std::move(options));
  window->Open();

  // Signs in to one platform after the other during the warm-up.
  QTimer signIns;
  size_t nextSignIn = 0;
  QObject::connect(&signIns, &QTimer::timeout, [&] {
    if (window->PendingSignIn()) return;
    if (nextSignIn == 3) {
      signIns.stop();
      return;
    }
    window->StartSignIn(plx::kReadPlatforms[nextSignIn++]);
  });
  signIns.start(200);

  // Busy share: the window thread's CPU time over the wall time of the run.
  QElapsedTimer total;
  const auto threadCpuNs = [] {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec;
  };
  long long startCpuNs = 0;

  // Warm up until every platform reads, then measure.
  int startRefreshes = 0;
  uint64_t startRevision = 0;
  constexpr int kWarmUpMs = 8000;
  QTimer::singleShot(kWarmUpMs, [&] {
    startCpuNs = threadCpuNs();
    startRefreshes = window->RefreshCount();
    startRevision = window->Hub().Revision();
    total.start();
  });
  QTimer::singleShot(kWarmUpMs + seconds * 1000, [&] {
    const double elapsed = total.nsecsElapsed() / 1e9;
    const int refreshes = window->RefreshCount() - startRefreshes;
    const uint64_t changes = window->Hub().Revision() - startRevision;
    std::printf("load run: %d s at %.0f messages/s (target), window %dx%d%s\n", seconds, rate,
                window->width(), window->height(),
                rules ? ", 10 highlight and 5 hide rules" : "");
    for (size_t i = 0; i < 3; ++i) {
      const vlo::PlatformStatus& status = window->Statuses()[i];
      std::printf("  %-8s %s%s\n", plx::PlatformName(plx::kReadPlatforms[i]),
                  vlo::ConnectionStateName(status.state),
                  status.canSend ? ", signed in, can send" : "");
    }
    std::printf("  hub changes:        %.0f per second\n", changes / elapsed);
    std::printf("  window refreshes:   %.1f per second (%d in all)\n", refreshes / elapsed,
                refreshes);
    std::printf("  window thread busy: %.1f %%\n",
                100.0 * (threadCpuNs() - startCpuNs) / 1e9 / elapsed);
    std::printf("  rows in the view:   %zu (%d highlighted, %d hidden)\n",
                window->View().Rows().size(), window->HighlightCount(), window->HiddenCount());
    std::printf("  resident memory:    %.1f MB\n", ResidentKiB() / 1024.0);
    app.quit();
  });
  app.exec();
  window.reset();
  return 0;
}
