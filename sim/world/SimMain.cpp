// velaro-sim: serves every remote service of Velaro Chat on loopback until stopped, with
// generated demo traffic or recorded captures played back, and the portal to sign in with the
// demo accounts.

#include <pthread.h>
#include <signal.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

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
    "  --seed=N                 seed of the generated traffic (default 1)\n"
    "  --twitch-replay=FILE     play a file of raw IRC lines to the clients of channel velarodemo\n"
    "  --kick-replay=FILE       play a file of Pusher frames (one JSON frame per line)\n"
    "  --youtube-replay=FOLDER  serve a folder of continuation answers to the page reader\n"
    "  --pace-ms=N              milliseconds between replayed lines or frames (default 0)\n"
    "  --auto-approve           approve portal sign-ins without a person (for scripted runs)\n"
    "\n"
    "A sign-in opens the portal's page in the browser; press Approve there to sign in as the\n"
    "owner of the demo channels (velarodemo).\n"
    "The TLS image servers use a certificate authority made at start; its file is printed.\n"
    "Stop with Ctrl-C.\n";

bool Value(std::string_view arg, std::string_view flag, std::string& out) {
  if (arg.substr(0, flag.size()) != flag) return false;
  out = arg.substr(flag.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  vlo::sim::SimWorldOptions options;
  std::string endpointsFile, twitchReplay, kickReplay, youtubeReplay;
  int paceMs = 0;
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
  std::string youtubeTarget = world.DemoTargets().youtubeTarget;
  if (!youtubeReplay.empty()) {
    std::string error;
    if (!vlo::sim::LoadYouTubeCapture(world.YouTube(), youtubeReplay, &error)) {
      std::cerr << "velaro-sim: " << error << "\n";
      return 1;
    }
    youtubeTarget = std::string{"@"} + vlo::sim::kReplayHandle;
  }

  const std::string endpoints = vlo::EndpointsToJson(world.GetEndpoints());
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
                                          : "press Approve on the portal's page")
            << "\n"
            << std::flush;

  int received = 0;
  sigwait(&signals, &received);
  return 0;
}
