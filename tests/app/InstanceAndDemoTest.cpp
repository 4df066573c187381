#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/SingleInstance.h"
#include "core/Json.h"
#include "tests/TempDir.h"

namespace vlo {
namespace {

// Starts velaro-chat with `args` and the given data and runtime folders; returns its pid.
pid_t Start(const std::vector<std::string>& args, const test::TempDir& dir) {
  const pid_t child = fork();
  if (child == 0) {
    setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::vector<char*> argv{const_cast<char*>(VLO_APP_BINARY)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(VLO_APP_BINARY, argv.data());
    _exit(127);
  }
  return child;
}

// The exit code, or -1 when the process is still running after `ms`.
int WaitExit(pid_t pid, int ms) {
  for (int waited = 0; waited <= ms; waited += 20) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    std::this_thread::sleep_for(std::chrono::milliseconds{20});
  }
  return -1;
}

void Stop(pid_t pid) {
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// Starts `name` a second time in another process while `first` holds it; that start must step
// aside (exit 0) after asking `first` to show itself through its socket.
void ExpectSecondStartActivates(SingleInstance& first, const QString& name) {
  bool activated = false;
  first.SetOnActivate([&] { activated = true; });
  const pid_t child = fork();
  if (child == 0) {
    SingleInstance second{name};
    _exit(second.Acquire() == SingleInstance::Outcome::OtherRunning ? 0 : 1);
  }
  QElapsedTimer timer;
  timer.start();
  while (!activated && timer.elapsed() < 5000)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  int status = 0;
  waitpid(child, &status, 0);
  first.SetOnActivate(nullptr);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(activated);
}

TEST(SingleInstance, SecondAcquireFailsAndActivatesTheFirst) {
  test::TempDir dir;
  qputenv("XDG_RUNTIME_DIR", dir.path().c_str());
  SingleInstance first{"VelaroChat_SingleInstance_test"};
  ASSERT_EQ(first.Acquire(), SingleInstance::Outcome::Acquired);
  // The second start runs in another process; it must connect to this one's socket.
  ExpectSecondStartActivates(first, "VelaroChat_SingleInstance_test");

  SingleInstance other{"VelaroChat_SingleInstance_other"};
  EXPECT_EQ(other.Acquire(), SingleInstance::Outcome::Acquired);
}

TEST(SingleInstance, LongNamesStillReachTheFirstAndAnUnusableFolderIsNoOtherInstance) {
  test::TempDir dir;
  qputenv("XDG_RUNTIME_DIR", dir.path().c_str());
  // A profile of 32 three-byte letters makes a socket path longer than the system allows.
  QString name = "VelaroChat_SingleInstance_";
  for (int i = 0; i < 32; ++i) name += QChar{0x4E2D};
  SingleInstance first{name};
  ASSERT_EQ(first.Acquire(), SingleInstance::Outcome::Acquired);
  ExpectSecondStartActivates(first, name);

  // A lock that cannot be made at all must not pass for another instance (which would exit
  // silently): the program runs unguarded instead.
  SingleInstance unusable{"no-such-folder/VelaroChat_SingleInstance"};
  EXPECT_EQ(unusable.Acquire(), SingleInstance::Outcome::Unguarded);
}

TEST(SingleInstance, SameProfileExitsZeroAndOtherProfileRunsBeside) {
  test::TempDir dir;
  const pid_t first = Start({"--profile=alpha"}, dir);
  // The first instance holds the lock once its socket exists.
  for (int i = 0;
       i < 250 && !std::filesystem::exists(dir.path() / "VelaroChat_SingleInstance_alpha.socket");
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds{20});
  }
  ASSERT_TRUE(std::filesystem::exists(dir.path() / "VelaroChat_SingleInstance_alpha.socket"));

  const pid_t second = Start({"--profile=alpha"}, dir);
  EXPECT_EQ(WaitExit(second, 5000), 0);
  const pid_t beside = Start({"--profile=beta"}, dir);
  EXPECT_EQ(WaitExit(beside, 1500), -1);  // its own window keeps running
  EXPECT_EQ(WaitExit(first, 0), -1);
  Stop(beside);
  Stop(first);
}

// The whole program against its built-in simulator: all three platforms connect and their
// rows are shown; the picture is kept next to the test binary for people to look at.
TEST(Demo, ScreenshotShowsThreeConnectedPlatforms) {
  test::TempDir dir;
  const std::string png = std::string{VLO_TEST_OUTPUT_DIR} + "/demo-window.png";
  const pid_t run = Start({"--demo", "--screenshot=" + png, "--after=6"}, dir);
  ASSERT_EQ(WaitExit(run, 60000), 0);
  QImage image{QString::fromStdString(png)};
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), 440);

  std::ifstream in{png + ".json"};
  std::stringstream text;
  text << in.rdbuf();
  const json::Json state = json::ParseObject(text.str());
  for (const char* platform : {"twitch", "youtube", "kick"}) {
    EXPECT_EQ(state["statuses"][platform]["state"], "connected") << platform << ": " << text.str();
    EXPECT_GT(state["rowsShown"].value(platform, 0), 0) << platform;
  }
  // A screenshot run may sit beside a running instance of the profile: it leaves its settings
  // alone.
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "data" / "VelaroChat" / "chat.json"));
}

}  // namespace
}  // namespace vlo
