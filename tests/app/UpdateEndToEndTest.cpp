// The update from end to end, with the real programs: the installer made by the build, a copy
// installed with `cmake --install` that finds the next version on the simulated site, closes for
// its installer and is started again from the same place; and a copy run from the build tree,
// which only opens the product page.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/Endpoints.h"
#include "core/Json.h"
#include "sim/world/SimWorld.h"
#include "tests/TempDir.h"
#include "tests/WorldChat.h"
#include "tests/app/ChildProcess.h"
#include "tests/updater/FakeInstaller.h"
#include "updater/InstalledCopy.h"
#include "updater/VerifyInstaller.h"

namespace vlo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ChildProcess;
using test::Eventually;
using test::ReadFile;
using test::WriteFile;

// Runs a program to its end; its output, or nothing when it failed or took too long.
std::optional<std::string> RunToEnd(
    const std::string& program, const std::vector<std::string>& args,
    const std::vector<std::pair<std::string, std::string>>& env = {}) {
  ChildProcess child{program, args, env};
  child.CloseInput();
  std::string output;
  while (std::optional<std::string> line = child.ReadLine(60s)) output += *line + "\n";
  if (child.Wait(60s) != 0) return std::nullopt;
  return output;
}

// Every process of this machine whose program or arguments mention `text`.
// A file under /proc whose process may end while it is read: empty then.
std::string ReadProcFile(const fs::path& path) {
  try {
    return ReadFile(path);
  } catch (const std::exception&) {
    return {};
  }
}

std::vector<pid_t> ProcessesMentioning(const std::string& text) {
  std::vector<pid_t> found;
  std::error_code failure;
  for (fs::directory_iterator it{"/proc", failure}, end; !failure && it != end;
       it.increment(failure)) {
    const std::string name = it->path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(name));
    if (pid == ::getpid()) continue;
    std::error_code error;
    const std::string exe = fs::read_symlink(it->path() / "exe", error).string();
    if (exe.find(text) != std::string::npos ||
        ReadProcFile(it->path() / "cmdline").find(text) != std::string::npos) {
      found.push_back(pid);
    }
  }
  return found;
}

std::vector<std::string> CommandLine(pid_t pid) {
  const std::string all = ReadProcFile(fs::path{"/proc"} / std::to_string(pid) / "cmdline");
  std::vector<std::string> args;
  for (size_t at = 0; at < all.size();) {
    const size_t end = all.find('\0', at);
    args.push_back(all.substr(at, end - at));
    at = end == std::string::npos ? all.size() : end + 1;
  }
  return args;
}

class UpdateEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    world = test::QuietWorld();
    fs::create_directories(data);
    fs::create_directories(home);
    endpoints = (dir.path() / "endpoints.json").string();
    WriteFile(endpoints, EndpointsToJson(world->GetEndpoints()));
  }

  // Whatever this test started and left running (an installer still waiting, the program it
  // started again) goes with the test: each of them names the test's folder.
  void TearDown() override {
    for (int round = 0; round < 50; ++round) {
      const std::vector<pid_t> left = ProcessesMentioning(dir.path().string());
      if (left.empty()) break;
      for (const pid_t pid : left) ::kill(pid, round < 10 ? SIGTERM : SIGKILL);
      std::this_thread::sleep_for(20ms);
    }
    world.reset();
  }

  std::vector<std::pair<std::string, std::string>> Environment() const {
    return {{"HOME", home.string()},
            {"XDG_DATA_HOME", data.string()},
            {"XDG_RUNTIME_DIR", dir.path().string()},
            {"QT_QPA_PLATFORM", "offscreen"},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"},
            {"BROWSER", "/bin/true"},
            {"DISPLAY", ""},
            {"WAYLAND_DISPLAY", ""}};
  }

  test::TempDir dir;
  fs::path prefix{dir.path() / "prefix"};
  fs::path home{dir.path() / "home"};
  fs::path data{dir.path() / "data"};
  fs::path profile{data / "VelaroChat"};
  std::string endpoints;
  std::unique_ptr<sim::SimWorld> world;
};

TEST_F(UpdateEndToEndTest, TheInstallerCarriesItsVersionAndInstallsIntoAPrefix) {
  const std::string installer = ReadFile(VLO_NEXT_INSTALLER);
  ASSERT_FALSE(installer.empty());
  // What the updater checks, read without running it.
  const std::atomic<bool> cancel{false};
  std::string error;
  const plx::UpdateRelease release =
      test::ReleaseOf("https://velaro.example", VLO_NEXT_VERSION, installer);
  EXPECT_TRUE(plx::VerifyInstaller(VLO_NEXT_INSTALLER, release, cancel, &error)) << error;
  EXPECT_LE(release.size, 64 << 20);
  EXPECT_EQ(RunToEnd("/bin/sh", {VLO_NEXT_INSTALLER, "--version"}),
            std::string{"Velaro Chat installer "} + VLO_NEXT_VERSION + "\n");

  ASSERT_TRUE(RunToEnd("/bin/sh", {VLO_NEXT_INSTALLER, "--prefix=" + prefix.string(), "--silent"},
                       Environment()));
  EXPECT_EQ(RunToEnd((prefix / "bin" / "velaro-chat").string(), {"--version"}),
            std::string{"Velaro Chat "} + VLO_NEXT_VERSION + "\n");
  EXPECT_TRUE(fs::exists(prefix / "share" / "applications" / "velaro-chat.desktop"));
  EXPECT_TRUE(fs::exists(prefix / "share/icons/hicolor/scalable/apps/velaro-chat.svg"));
  const std::optional<plx::InstallRegistration> registration =
      plx::ReadInstallRegistration(prefix / "bin");
  ASSERT_TRUE(registration);
  EXPECT_EQ(registration->installLocation, prefix);
  EXPECT_EQ(registration->version, VLO_NEXT_VERSION);
  EXPECT_TRUE(plx::IsInstalledCopy(prefix / "bin"));
  // Nothing of the unpacking is left beside the files.
  for (const fs::directory_entry& entry : fs::directory_iterator{prefix}) {
    EXPECT_FALSE(entry.path().filename().string().starts_with(".velaro-chat-install"));
  }

  // Again, keeping the menu entry someone changed; without --silent it asks first.
  const fs::path entry = prefix / "share" / "applications" / "velaro-chat.desktop";
  WriteFile(entry, "[Desktop Entry]\nName=My Chat\n");
  ASSERT_TRUE(RunToEnd(
      "/bin/sh",
      {VLO_NEXT_INSTALLER, "--prefix=" + prefix.string(), "--silent", "--keep-desktop-entry"},
      Environment()));
  EXPECT_EQ(ReadFile(entry), "[Desktop Entry]\nName=My Chat\n");
  // A damaged installer changes nothing, and still starts the program again.
  const fs::path damaged = dir.path() / "damaged.sh";
  WriteFile(damaged, installer.substr(0, installer.size() / 2));
  ChildProcess again{"/bin/sh",
                     {damaged.string(), "--prefix=" + prefix.string(), "--silent", "--relaunch",
                      "--", "--version"},
                     Environment()};
  EXPECT_EQ(again.ReadLine(), std::string{"Velaro Chat "} + VLO_NEXT_VERSION);
  EXPECT_EQ(again.Wait(), 1);

  ChildProcess asked{"/bin/sh", {VLO_NEXT_INSTALLER, "--prefix=" + prefix.string()}};
  asked.Write("n\n");
  asked.CloseInput();
  EXPECT_EQ(asked.Wait(), 1);
  EXPECT_EQ(ReadFile(entry), "[Desktop Entry]\nName=My Chat\n");
}

TEST_F(UpdateEndToEndTest, AnInstalledCopyUpdatesItselfAndStartsAgainFromTheSamePlace) {
  ASSERT_TRUE(RunToEnd(VLO_CMAKE, {"--install", VLO_BUILD_DIR, "--prefix", prefix.string()}));
  const fs::path program = prefix / "bin" / "velaro-chat";
  ASSERT_EQ(RunToEnd(program.string(), {"--version"}),
            std::string{"Velaro Chat "} + VLO_THIS_VERSION + "\n");
  // The person's own things: settings, a token, cached emotes and a changed menu entry.
  fs::create_directories(profile / "emotes");
  const std::string settings = "{\n  \"theme\": \"calm\",\n  \"thirdPartyEmotes\": false\n}\n";
  WriteFile(profile / "chat.json", settings);
  const std::string secrets =
      "{\"oauth\":{\"tiktok\":{\"accessToken\":\"kept-token\",\"refreshToken\":\"kept-refresh\"}}}";
  WriteFile(profile / "secrets.dpapi", secrets);
  WriteFile(profile / "emotes" / "00000000000000aa.img", "cached image");
  const fs::path entry = prefix / "share" / "applications" / "velaro-chat.desktop";
  WriteFile(entry, ReadFile(entry) + "# changed by hand\n");
  const std::string entryBefore = ReadFile(entry);

  std::string error;
  ASSERT_TRUE(world->UpdateSite().PublishFile(VLO_NEXT_INSTALLER, &error)) << error;
  // Started from the test's folder with a relative argument, which must still hold afterwards.
  auto first = std::make_unique<ChildProcess>(
      "/bin/sh",
      std::vector<std::string>{
          "-c", "cd \"$1\" && exec \"$0\" --install-update --endpoints=endpoints.json",
          program.string(), dir.path().string()},
      Environment());
  // It finds the release at once, downloads and verifies it, starts the installer and ends.
  EXPECT_EQ(first->Wait(60s), 0);
  EXPECT_EQ(world->UpdateSite().ManifestRequests(), 1u);
  EXPECT_EQ(world->UpdateSite().InstallerRequests(), 1u);

  // The installer replaces the files, then starts the program again where it was.
  const auto relaunched = [&]() -> std::optional<pid_t> {
    for (const pid_t pid : ProcessesMentioning(program.string())) {
      std::error_code failure;
      if (fs::read_symlink(fs::path{"/proc"} / std::to_string(pid) / "exe", failure) == program) {
        return pid;
      }
    }
    return std::nullopt;
  };
  ASSERT_TRUE(Eventually([&] { return relaunched().has_value(); }, 60s));
  const pid_t pid = *relaunched();
  EXPECT_EQ(RunToEnd(program.string(), {"--version"}),
            std::string{"Velaro Chat "} + VLO_NEXT_VERSION + "\n");
  // Started again in the same folder with the first start's arguments, without the one-time
  // --install-update.
  EXPECT_EQ(CommandLine(pid),
            (std::vector<std::string>{program.string(), "--endpoints=endpoints.json"}));
  std::error_code failure;
  EXPECT_EQ(fs::read_symlink(fs::path{"/proc"} / std::to_string(pid) / "cwd", failure), dir.path());
  EXPECT_EQ(plx::ReadInstallRegistration(prefix / "bin")->version, VLO_NEXT_VERSION);
  // It holds the instance lock (the old one let go of it): another start only asks it to come
  // forward, and ends.
  const fs::path lock = dir.path() / "VelaroChat_SingleInstance.lock";
  EXPECT_TRUE(
      Eventually([&] { return ReadFile(lock).starts_with(std::to_string(pid) + "\n"); }, 30s));
  EXPECT_TRUE(RunToEnd(program.string(), {"--endpoints=" + endpoints}, Environment()));
  EXPECT_EQ(::kill(pid, 0), 0);

  const json::Json stored = json::ParseObject(ReadFile(profile / "chat.json"));
  EXPECT_EQ(stored["theme"], "calm");
  EXPECT_EQ(stored["thirdPartyEmotes"], false);
  EXPECT_EQ(ReadFile(profile / "secrets.dpapi"), secrets);
  EXPECT_EQ(ReadFile(profile / "emotes" / "00000000000000aa.img"), "cached image");
  EXPECT_EQ(ReadFile(entry), entryBefore);
  EXPECT_TRUE(fs::exists(profile / "updates" / ("VelaroChat-Setup-" VLO_NEXT_VERSION ".sh")));
  EXPECT_FALSE(fs::exists(profile / "updates" / ("VelaroChat-Setup-" VLO_NEXT_VERSION ".sh.part")));
}

TEST_F(UpdateEndToEndTest, ACopyFromTheBuildTreeOpensTheProductPageAndDownloadsNothing) {
  std::string error;
  ASSERT_TRUE(world->UpdateSite().PublishFile(VLO_NEXT_INSTALLER, &error)) << error;
  // Its messages go to standard output here, to be read.
  ChildProcess chat{"/bin/sh",
                    {"-c", "exec \"$0\" \"$@\" 2>&1", VLO_APP_BINARY, "--install-update",
                     "--endpoints=" + endpoints},
                    Environment()};
  const std::string page = world->UpdateSite().Base() + "/chat";
  EXPECT_TRUE(chat.ReadUntil(
      [&](const std::string& line) { return line.find(page) != std::string::npos; }, 30s));
  EXPECT_EQ(world->UpdateSite().ManifestRequests(), 1u);
  EXPECT_EQ(world->UpdateSite().InstallerRequests(), 0u);
  EXPECT_FALSE(fs::exists(profile / "updates"));
  // It goes on running.
  EXPECT_FALSE(chat.Wait(200ms));
}

}  // namespace
}  // namespace vlo
