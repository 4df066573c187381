// How the program ends, run as a person runs it: a stop signal ends every mode cleanly with
// exit code 0 (the demo's simulator included), a window closes as if the user closed it, and
// nothing waits for a network that stopped answering.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/Options.h"
#include "core/Json.h"
#include "tests/Eventually.h"
#include "tests/TempDir.h"
#include "tests/app/ChildProcess.h"

namespace vlo {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;

std::vector<std::pair<std::string, std::string>> Environment(const test::TempDir& dir,
                                                             bool display = false) {
  return {{"XDG_DATA_HOME", (dir.path() / "data").string()},
          {"XDG_RUNTIME_DIR", dir.path().string()},
          {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"},
          {"QT_QPA_PLATFORM", display ? "offscreen" : ""},
          {"DISPLAY", ""},
          {"WAYLAND_DISPLAY", ""}};
}

std::string Read(const std::filesystem::path& path) {
  std::ifstream in{path, std::ios::binary};
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The demo's simulator starts its threads before the terminal modes run: a stop signal must
// still end the run cleanly, printed or as JSON.
TEST(StopPaths, DemoPrintStopsCleanlyOnEitherSignal) {
  for (const int signal : {SIGINT, SIGTERM}) {
    for (const bool json : {false, true}) {
      test::TempDir dir;
      std::vector<std::string> args{"--demo", "--print"};
      if (json) args.push_back("--json");
      ChildProcess chat{VLO_APP_BINARY, args, Environment(dir)};
      // Rows of the demo chat: the simulator and the readers run.
      ASSERT_TRUE(chat.ReadUntil([&](const std::string& line) {
        return json ? line.find("\"type\":\"row\"") != std::string::npos
                    : line.find("Connected to") != std::string::npos;
      }));
      chat.Signal(signal);
      EXPECT_EQ(chat.Wait(10s), 0) << "signal " << signal << (json ? " with --json" : "");
    }
  }
}

// True once the program's instance lock exists in the runtime folder.
bool WaitForInstanceLock(const test::TempDir& dir) {
  return test::Eventually(
      [&] {
        for (const auto& entry : std::filesystem::directory_iterator{dir.path()}) {
          if (entry.path().filename().string().starts_with("VelaroChat")) return true;
        }
        return false;
      },
      20s);
}

// velaro-sim with a relay in front of every service, all of them stalled: connections are
// accepted and then nothing more moves.
class StalledWorld {
 public:
  explicit StalledWorld(const test::TempDir& dir)
      : endpoints_{(dir.path() / "endpoints.json").string()},
        sim_{VLO_SIM_BINARY, {"--rate=0", "--faults=all", "--write-endpoints=" + endpoints_}} {}

  bool Stall() {
    if (!sim_.ReadUntil([](const std::string& l) { return l.starts_with("Fault relays"); })) {
      return false;
    }
    sim_.Write("all stall\n");
    return sim_.ReadUntil([](const std::string& l) { return l.starts_with("twitch stall"); })
        .has_value();
  }
  std::vector<std::string> ChatArguments() const {
    return {"--endpoints=" + endpoints_, "--twitch=velarodemo", "--kick=velarodemo",
            "--youtube=@velarodemo"};
  }

 private:
  std::string endpoints_;
  ChildProcess sim_;
};

// Sends SIGTERM and gives how long the program took to end with 0 (printed for the record).
std::chrono::milliseconds StopAndTime(ChildProcess& chat) {
  const auto stopped = std::chrono::steady_clock::now();
  chat.Signal(SIGTERM);
  EXPECT_EQ(chat.Wait(30s), 0);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - stopped);
  std::cout << "stopped after " << took.count() << " ms" << std::endl;
  return took;
}

// Every service stops answering without closing; a stop ends the run at once anyway, instead of
// waiting for the network's time-outs (10 s for a handshake, 15 s for a request).
TEST(StopPaths, AStopDoesNotWaitForAStalledNetwork) {
  test::TempDir dir;
  StalledWorld world{dir};
  ASSERT_TRUE(world.Stall());
  std::vector<std::string> args{"--print", "--json"};
  for (std::string& arg : world.ChatArguments()) args.push_back(std::move(arg));
  ChildProcess chat{VLO_APP_BINARY, args, Environment(dir)};
  // The readers are connecting: Twitch's handshake, Kick's lookup and YouTube's page hang.
  ASSERT_TRUE(chat.ReadUntil([](const std::string& line) {
    return line.find("\"platform\":\"kick\"") != std::string::npos &&
           line.find("Looking up the channel") != std::string::npos;
  }));
  std::this_thread::sleep_for(500ms);
  EXPECT_LT(StopAndTime(chat), 5s);
}

// The same for the window: its readers, emote catalogue downloads and image fetches all hang,
// and closing it still ends the program at once.
TEST(StopPaths, ClosingTheWindowDoesNotWaitForAStalledNetwork) {
  test::TempDir dir;
  StalledWorld world{dir};
  ASSERT_TRUE(world.Stall());
  ChildProcess chat{VLO_APP_BINARY, world.ChatArguments(), Environment(dir, true)};
  ASSERT_TRUE(WaitForInstanceLock(dir));
  std::this_thread::sleep_for(1500ms);
  EXPECT_LT(StopAndTime(chat), 5s);
}

// A stop signal closes the window as the user would: the placement is saved, and a settings
// file that could not be read is kept aside rather than overwritten.
TEST(StopPaths, SigtermClosesTheWindowAndSavesTheSettings) {
  test::TempDir dir;
  const auto folder = dir.path() / "data" / "VelaroChat";
  std::filesystem::create_directories(folder);
  const std::string broken = R"({"twitchChannel": "mychannel", "kickCh)";
  std::ofstream{folder / "chat.json", std::ios::binary} << broken;

  ChildProcess chat{VLO_APP_BINARY, {}, Environment(dir, true)};
  ASSERT_TRUE(WaitForInstanceLock(dir));
  std::this_thread::sleep_for(1s);
  chat.Signal(SIGTERM);
  EXPECT_EQ(chat.Wait(20s), 0);

  EXPECT_EQ(Read(folder / "chat.json.unreadable"), broken);
  const json::Json saved = json::ParseObject(Read(folder / "chat.json"));
  ASSERT_TRUE(saved.contains("window")) << Read(folder / "chat.json");
  EXPECT_GT(saved["window"]["w"].get<int>(), 0);
  EXPECT_GT(saved["window"]["h"].get<int>(), 0);
}

TEST(StopPaths, ARejectedChannelIsQuotedSafelyAndShort) {
  const std::string hostile = "\x1b]0;owned\x07" + std::string(500, 'x');
  const ParsedOptions parsed = ParseOptions({"velaro-chat", "--twitch=" + hostile});
  EXPECT_TRUE(parsed.error.starts_with("\"\\x1B]0;owned\\x07xxx")) << parsed.error;
  EXPECT_TRUE(parsed.error.ends_with("\"… is not a Twitch channel name")) << parsed.error;
  EXPECT_LT(parsed.error.size(), 120u);
  EXPECT_EQ(parsed.error.find('\x1b'), std::string::npos);
  EXPECT_EQ(ParseOptions({"velaro-chat", "--kick=a b"}).error,
            "\"a b\" is not a Kick channel name");
  EXPECT_EQ(ParseOptions({"velaro-chat", "--youtube=x\ny"}).error,
            "\"x\\ny\" is not a YouTube channel, handle, video or link");
}

}  // namespace
}  // namespace vlo
