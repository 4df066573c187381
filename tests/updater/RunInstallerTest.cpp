// Starting the installer: only for an installed copy, detached, with the arguments that make it
// install silently into the registered prefix and start the program again.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "tests/updater/FakeInstaller.h"
#include "updater/InstalledCopy.h"
#include "updater/RunInstaller.h"

namespace plx {
namespace {

namespace fs = std::filesystem;

bool Eventually(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds{10};
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds{5});
  }
  return true;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in{text};
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class RunInstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(bin);
    vlo::test::WriteFile(bin / kRegistrationFileName, "{\"installLocation\": \"" + prefix.string() +
                                                          "\", \"version\": \"1.1.3\"}");
    launch.programFolder = bin;
  }

  // An installer that writes down how it was started, then ends.
  fs::path RecordingInstaller(int watchedFd) {
    const std::string out = (dir.path() / "ran").string();
    const std::string script =
        "printf '%s\\n' \"$@\" > '" + out +
        ".args'\n"
        "sed -n 's/^.*) [A-Za-z] [0-9-]* [0-9-]* \\([0-9-]*\\) .*$/\\1/p' /proc/$$/stat > '" +
        out + ".sid'\n" + "echo $$ > '" + out + ".pid'\n" + "if [ -e /proc/$$/fd/" +
        std::to_string(watchedFd) + " ]; then echo open; else echo closed; fi > '" + out +
        ".fd'\n" + "[ -t 0 ] || read -r line || echo 'stdin at its end' > '" + out + ".stdin'\n" +
        "touch '" + out + ".done'\nexit 0\n";
    const fs::path file = dir.path() / "updates" / "VelaroChat-Setup-1.1.4.sh";
    fs::create_directories(file.parent_path());
    vlo::test::WriteFile(file, vlo::test::FakeInstaller("1.1.4", script, 4096));
    return file;
  }

  vlo::test::TempDir dir;
  fs::path prefix{dir.path() / "prefix with space"};
  fs::path bin{prefix / "bin"};
  InstallerLaunch launch;
};

TEST_F(RunInstallerTest, StartsTheInstallerDetachedWithTheHandOverArguments) {
  // A descriptor without close-on-exec, as a library might leave one: the installer must not
  // get it (it could hold the instance lock or a socket after the program ends).
  const int leaked = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(leaked, 3);
  const fs::path installer = RecordingInstaller(leaked);
  launch.relaunchArgs = {"--profile=work", "--endpoints=/tmp/a b.json"};
  launch.waitPid = 4242;
  std::string error;
  ASSERT_TRUE(RunInstaller(installer, launch, &error)) << error;
  ::close(leaked);

  const fs::path out = dir.path() / "ran";
  ASSERT_TRUE(Eventually([&] { return fs::exists(out.string() + ".done"); }));
  EXPECT_EQ(Lines(vlo::test::ReadFile(out.string() + ".args")),
            (std::vector<std::string>{"--prefix=" + prefix.string(), "--silent",
                                      "--keep-desktop-entry", "--wait-pid=4242", "--relaunch", "--",
                                      "--profile=work", "--endpoints=/tmp/a b.json"}));
  // A session of its own: closing the program's terminal or process group does not touch it.
  const std::string sid = Lines(vlo::test::ReadFile(out.string() + ".sid")).at(0);
  EXPECT_EQ(sid, Lines(vlo::test::ReadFile(out.string() + ".pid")).at(0));
  EXPECT_NE(sid, std::to_string(::getsid(0)));
  EXPECT_EQ(Lines(vlo::test::ReadFile(out.string() + ".fd")).at(0), "closed");
  EXPECT_EQ(Lines(vlo::test::ReadFile(out.string() + ".stdin")).at(0), "stdin at its end");
}

TEST_F(RunInstallerTest, WaitsForThisProcessUnlessToldOtherwise) {
  const fs::path installer = RecordingInstaller(1000);
  std::string error;
  ASSERT_TRUE(RunInstaller(installer, launch, &error)) << error;
  const fs::path out = dir.path() / "ran";
  ASSERT_TRUE(Eventually([&] { return fs::exists(out.string() + ".done"); }));
  const std::vector<std::string> args = Lines(vlo::test::ReadFile(out.string() + ".args"));
  EXPECT_EQ(args.at(3), "--wait-pid=" + std::to_string(::getpid()));
  EXPECT_EQ(args.size(), 6u);  // nothing after "--"
}

TEST_F(RunInstallerTest, RefusesACopyThatWasNotInstalled) {
  const fs::path installer = RecordingInstaller(1000);
  fs::remove(bin / kRegistrationFileName);
  std::string error;
  EXPECT_FALSE(RunInstaller(installer, launch, &error));
  EXPECT_EQ(
      error,
      "This copy was not installed with the setup. Download the new version from the website.");
  // Nor the test program, which runs from the build tree.
  launch.programFolder.clear();
  EXPECT_FALSE(RunInstaller(installer, launch, &error));
  EXPECT_FALSE(fs::exists(dir.path() / "ran.args"));
}

TEST_F(RunInstallerTest, AnInstallerThatCannotBeStartedGivesTheSystemsCode) {
  launch.shell = (dir.path() / "no-such-shell").string();
  std::string error;
  EXPECT_FALSE(RunInstaller(RecordingInstaller(1000), launch, &error));
  EXPECT_EQ(error, "The system could not start the update (code 2).");
}

TEST(RunningProgramArgumentsTest, AreThisProcesssArgumentsWithoutItsName) {
  const std::vector<std::string> args = RunningProgramArguments();
  const std::vector<std::string>& mine = ::testing::internal::GetArgvs();
  ASSERT_FALSE(mine.empty());
  EXPECT_EQ(args, std::vector<std::string>(mine.begin() + 1, mine.end()));
}

}  // namespace
}  // namespace plx
