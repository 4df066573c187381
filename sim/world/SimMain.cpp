// velaro-sim: serves every remote service of Velaro Chat on loopback until stopped, with
// generated demo traffic or recorded captures played back, and the portal to sign in with the
// demo accounts.

#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "sim/faults/WorldFaults.h"
#include "sim/world/SimWorld.h"

namespace {

constexpr const char* kUsage =
    "Usage: velaro-sim [options]\n"
    "\n"
    "Serves simulated Twitch, Kick and YouTube chat, emote catalogues and images, and the\n"
    "sign-in portal with the platforms' token and account services, on 127.0.0.1.\n"
    "\n"
    "  --write-endpoints=FILE   write the service addresses for velaro-chat --endpoints=FILE\n"
    "  --rate=N                 generated messages per second on each platform (default 2; 0 "
    "none)\n"
    "  --twitch-rate=N, --kick-rate=N, --youtube-rate=N   the same for one platform\n"
    "  --seed=N                 seed of the generated traffic (default 1)\n"
    "  --twitch-replay=FILE     play a file of raw IRC lines to the clients of channel velarodemo\n"
    "  --kick-replay=FILE       play a file of Pusher frames (one JSON frame per line)\n"
    "  --youtube-replay=FOLDER  serve a folder of continuation answers to the page reader\n"
    "  --pace-ms=N              milliseconds between replayed lines or frames (default 0)\n"
    "  --auto-approve           approve sign-ins without a person (for scripted runs): the\n"
    "                           portal's, and those with an own app registration\n"
    "  --update-installer=FILE  publish this installer on the update site as the latest release\n"
    "  --faults=LIST            put a fault relay in front of these services (comma-separated:\n"
    "                           twitch, kick, pusher, youtube, youtube-api, emotes, images, or\n"
    "                           all); the endpoints written point at the relays, and fault\n"
    "                           commands are read from standard input (type help)\n"
    "  --fault-every=SECONDS    with --faults, start the next fault of a rotation this often\n"
    "  --fault-length=SECONDS   how long each fault of the rotation lasts (default 10)\n"
    "\n"
    "A sign-in opens the portal's page in the browser; press Approve there to sign in as the\n"
    "owner of the demo channels (velarodemo). A sign-in with an own app registration opens the\n"
    "platform's page instead (Authorize, or Allow); the platforms know the app registrations\n"
    "printed at start.\n"
    "The TLS image servers use a certificate authority made at start; its file is printed.\n"
    "Stop with Ctrl-C.\n";

bool Value(std::string_view arg, std::string_view flag, std::string& out) {
  if (arg.substr(0, flag.size()) != flag) return false;
  out = arg.substr(flag.size());
  return true;
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find(',', start), text.size());
    if (end > start) items.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

std::mutex gOutput;  // one line at a time on standard output (commands and the rotation)

void PrintLine(const std::string& line) {
  std::lock_guard lock{gOutput};
  std::cout << line << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  vlo::sim::SimWorldOptions options;
  std::string endpointsFile, twitchReplay, kickReplay, youtubeReplay, updateInstaller;
  int paceMs = 0;
  std::string faultList;
  double faultEvery = 0;
  double faultLength = 10;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    std::string value;
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (Value(arg, "--write-endpoints=", value)) {
      endpointsFile = value;
    } else if (Value(arg, "--rate=", value)) {
      const double rate = std::atof(value.c_str());
      options.twitchRate = options.kickRate = rate;
      options.youtubeRate = rate / 2;
    } else if (Value(arg, "--twitch-rate=", value)) {
      options.twitchRate = std::atof(value.c_str());
    } else if (Value(arg, "--kick-rate=", value)) {
      options.kickRate = std::atof(value.c_str());
    } else if (Value(arg, "--youtube-rate=", value)) {
      options.youtubeRate = std::atof(value.c_str());
    } else if (Value(arg, "--faults=", value)) {
      faultList = value;
    } else if (Value(arg, "--fault-every=", value)) {
      faultEvery = std::atof(value.c_str());
    } else if (Value(arg, "--fault-length=", value)) {
      faultLength = std::atof(value.c_str());
    } else if (Value(arg, "--seed=", value)) {
      options.seed = std::strtoull(value.c_str(), nullptr, 10);
    } else if (Value(arg, "--twitch-replay=", value)) {
      twitchReplay = value;
    } else if (Value(arg, "--kick-replay=", value)) {
      kickReplay = value;
    } else if (Value(arg, "--youtube-replay=", value)) {
      youtubeReplay = value;
    } else if (Value(arg, "--pace-ms=", value)) {
      paceMs = std::max(0, std::atoi(value.c_str()));
    } else if (Value(arg, "--update-installer=", value)) {
      updateInstaller = value;
    } else if (arg == "--auto-approve") {
      options.autoApproveSignIn = true;
    } else {
      std::cerr << "velaro-sim: unknown option " << arg << "\n\n" << kUsage;
      return 2;
    }
  }
  if (!twitchReplay.empty() || !kickReplay.empty() || !youtubeReplay.empty()) {
    options.twitchRate = options.kickRate = options.youtubeRate = 0;
  }

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  vlo::sim::SimWorld world{options};
  if (!twitchReplay.empty()) {
    auto lines = vlo::sim::ReadTwitchCapture(twitchReplay);
    if (!lines) {
      std::cerr << "velaro-sim: cannot read " << twitchReplay << "\n";
      return 1;
    }
    world.Twitch().StartReplay(std::move(*lines), paceMs, vlo::sim::SimWorld::kTwitchChannel);
  }
  if (!kickReplay.empty()) {
    auto frames = vlo::sim::ReadKickCapture(kickReplay);
    if (!frames) {
      std::cerr << "velaro-sim: cannot read " << kickReplay << "\n";
      return 1;
    }
    world.Kick().StartReplay(std::move(*frames), paceMs);
  }
  if (!updateInstaller.empty()) {
    std::string error;
    if (!world.UpdateSite().PublishFile(updateInstaller, &error)) {
      std::cerr << "velaro-sim: " << error << "\n";
      return 1;
    }
  }
  std::string youtubeTarget = world.DemoTargets().youtubeTarget;
  if (!youtubeReplay.empty()) {
    std::string error;
    if (!vlo::sim::LoadYouTubeCapture(world.YouTube(), youtubeReplay, &error)) {
      std::cerr << "velaro-sim: " << error << "\n";
      return 1;
    }
    youtubeTarget = std::string{"@"} + vlo::sim::kReplayHandle;
  }

  std::unique_ptr<vlo::sim::WorldFaults> faults;
  if (!faultList.empty()) {
    std::string error;
    faults = vlo::sim::WorldFaults::Create(world, SplitList(faultList), &error);
    if (!faults) {
      std::cerr << "velaro-sim: " << error << "\n";
      return 2;
    }
  }
  const std::string endpoints =
      vlo::EndpointsToJson(faults ? faults->GetEndpoints() : world.GetEndpoints());
  if (!endpointsFile.empty()) {
    std::ofstream out{endpointsFile, std::ios::binary | std::ios::trunc};
    out << endpoints;
    if (!out) {
      std::cerr << "velaro-sim: cannot write " << endpointsFile << "\n";
      return 1;
    }
  }
  std::cout << endpoints << "\nRead it with:\n  velaro-chat --endpoints="
            << (endpointsFile.empty() ? "FILE" : endpointsFile)
            << " --twitch=" << vlo::sim::SimWorld::kTwitchChannel
            << " --kick=" << vlo::sim::SimWorld::kKickChannel << " --youtube=" << youtubeTarget
            << "\nImage servers' certificate authority: " << vlo::sim::SimServer::TestCaPath()
            << "\nSign-ins: "
            << (options.autoApproveSignIn ? "approved by themselves"
                                          : "press Approve, Authorize or Allow on the page shown")
            << "\nOwn app registrations: Twitch client id "
            << vlo::sim::SimWorld::kOwnAppTwitchClientId << " (no secret); Google client id "
            << vlo::sim::SimWorld::kOwnAppGoogleClientId << ", secret "
            << vlo::sim::SimWorld::kOwnAppGoogleSecret << "; Kick client id "
            << vlo::sim::SimWorld::kOwnAppKickClientId << ", secret "
            << vlo::sim::SimWorld::kOwnAppKickSecret << "\n";
  if (faults) std::cout << "Fault relays are up. " << vlo::sim::WorldFaults::kHelp << "\n";
  std::cout << std::flush;

  if (faults) {
    if (faultEvery > 0) {
      faults->StartRotation(static_cast<int>(faultEvery * 1000),
                            static_cast<int>(std::max(faultLength, 0.1) * 1000), PrintLine);
    }
    // Detached: it may sit in a read of standard input when the program ends.
    std::thread{[commands = faults.get()] {
      for (std::string line; std::getline(std::cin, line);) {
        const std::string answer = commands->Command(line);
        if (!answer.empty()) PrintLine(answer);
      }
    }}.detach();
  }

  int received = 0;
  sigwait(&signals, &received);
  if (faults) {
    // The command thread may sit in a read of standard input holding the relays: leave without
    // tearing the world down under it.
    std::cout << std::flush;
    std::_Exit(0);
  }
  return 0;
}
