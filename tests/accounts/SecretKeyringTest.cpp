// The store beside a real Secret Service: a private keyring daemon on a private session bus,
// one child process per step, so that every step starts as a fresh run of the program would.
// The keyring files live in a temporary home kept from one step to the next.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <sstream>

#include "accounts/SecretProtection.h"
#include "accounts/SecretStore.h"
#include "core/Clock.h"
#include "tests/TempDir.h"
#include "tests/accounts/SecretsPrinting.h"

namespace vlo {
namespace {

using plx::PlatformId;
using plx::TokenRecord;

TokenRecord Token(std::string access, std::string refresh = {}) {
  TokenRecord t;
  t.accessToken = std::move(access);
  if (!refresh.empty()) t.refreshToken = std::move(refresh);
  t.displayName = "Zoë";
  return t;
}

const TokenRecord kTwitch = Token("keyring-twitch-access", "keyring-twitch-refresh");
const TokenRecord kKick = Token("keyring-kick-access");
const TokenRecord kYouTube = Token("keyring-youtube-access");
const TokenRecord kTwitchLater = Token("keyring-twitch-later");

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in{path, std::ios::binary};
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string CommandOutput(const std::string& command, int* status = nullptr) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[4096];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int result = ::pclose(pipe);
  if (status) *status = result;
  return output;
}

// ---- The steps, each run in a child process --------------------------------------------------

// Collects the failed expectations of a step; the step's exit status is their count.
class StepCheck {
 public:
  void operator()(bool ok, const char* what) {
    if (ok) return;
    ++failures_;
    std::fprintf(stderr, "step check failed: %s\n", what);
  }
  int failures() const { return failures_; }

 private:
  int failures_{0};
};

KeyLookup FindKeys() { return MakeSecretServiceProtection(SystemClock())->FindKeys(); }

bool HoldsOneReadableKey() {
  const KeyLookup keys = FindKeys();
  return keys.reachable && keys.keys.size() == 1 && !keys.unreadableKeyExists;
}

// The process that owns the Secret Service's name on the session bus.
pid_t SecretServicePid() {
  const std::string reply = CommandOutput(
      "dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
      "org.freedesktop.DBus.GetConnectionUnixProcessID string:org.freedesktop.secrets");
  const size_t at = reply.find("uint32 ");
  return at == std::string::npos ? 0 : static_cast<pid_t>(std::atol(reply.c_str() + at + 7));
}

void StepWrite(const std::filesystem::path& data, StepCheck& check) {
  SecretStore store{data};
  check(!store.WaitingForKey(), "nothing to wait for");
  check(store.SetToken(PlatformId::Twitch, kTwitch), "twitch written");
  check(store.SetToken(PlatformId::Kick, kKick), "kick written");
}

void StepRead(const std::filesystem::path& data, StepCheck& check) {
  SecretStore store{data};
  check(store.GetToken(PlatformId::Twitch) == kTwitch, "twitch read");
  check(store.GetToken(PlatformId::Kick) == kKick, "kick read");
  check(HoldsOneReadableKey(), "exactly one key, readable");
}

void StepCannotOpen(const std::filesystem::path& data, StepCheck& check) {
  SecretStore store{data};
  check(store.WaitingForKey(), "waiting for the key");
  check(!store.GetToken(PlatformId::Twitch), "twitch not known");
  check(!store.SetToken(PlatformId::YouTube, kYouTube), "nothing written");
  check(store.GetToken(PlatformId::YouTube) == kYouTube, "youtube kept in memory");
}

void StepUnlockDuringRun(const std::filesystem::path& data, StepCheck& check) {
  SecretStore store{data};
  check(store.WaitingForKey(), "waiting for the key");
  check(!store.SetToken(PlatformId::YouTube, kYouTube), "youtube not written yet");
  check(!store.SetToken(PlatformId::Kick, std::nullopt), "kick erasure not written yet");
  const KeyLookup locked = FindKeys();
  check(locked.reachable && locked.keys.empty() && locked.unreadableKeyExists,
        "the key is found but locked");
  // A keyring daemon started with the password takes over, its keyring unlocked.
  check(std::system("printf pw | gnome-keyring-daemon --replace --unlock --components=secrets "
                    ">/dev/null 2>&1") == 0,
        "keyring unlocked");
  check(store.SetToken(PlatformId::Twitch, kTwitchLater), "written once the key is readable");
  check(!store.WaitingForKey(), "no longer waiting");
}

void StepReadMerged(const std::filesystem::path& data, StepCheck& check) {
  SecretStore store{data};
  check(store.GetToken(PlatformId::Twitch) == kTwitchLater, "twitch from the later run");
  check(store.GetToken(PlatformId::YouTube) == kYouTube, "youtube from the later run");
  check(!store.GetToken(PlatformId::Kick), "kick erased by the later run");
  check(HoldsOneReadableKey(), "exactly one key, readable");
}

void StepWritePlain(const std::filesystem::path& data, StepCheck& check) {
  SecretStore store{data};
  check(!store.WaitingForKey(), "nothing to wait for");
  check(store.SetToken(PlatformId::Twitch, kTwitch), "twitch written");
}

void StepSealPlain(const std::filesystem::path& data, StepCheck& check) {
  SecretStore store{data};
  check(store.GetToken(PlatformId::Twitch) == kTwitch, "twitch read from the plain file");
  check(store.SetToken(PlatformId::Kick, kKick), "kick written");
}

void StepHungService(const std::filesystem::path& data, StepCheck& check) {
  const pid_t daemon = SecretServicePid();
  check(daemon > 0, "keyring daemon found");
  if (daemon <= 0) return;
  ::kill(daemon, SIGSTOP);

  // A call to a service that never answers returns once the time-out has passed on the clock.
  TestClock clock;
  auto keeper = MakeSecretServiceProtection(clock, 2000);
  auto lookup = std::async(std::launch::async, [&] { return keeper->FindKeys(); });
  check(clock.WaitForSleepers(1), "the time-out is being waited for");
  check(lookup.wait_for(std::chrono::milliseconds{200}) == std::future_status::timeout,
        "the call blocks");
  clock.Advance(2000);
  check(lookup.wait_for(std::chrono::seconds{10}) == std::future_status::ready, "the call gave up");
  if (lookup.valid() && lookup.wait_for(std::chrono::seconds{0}) == std::future_status::ready) {
    check(!lookup.get().reachable, "a time-out is no answer");
  }

  // The store takes a time-out for a key it cannot read: the sealed file stays.
  TestClock instant{1'700'000'000'000, /*autoAdvance=*/true};
  {
    SecretStore store{data, MakeSecretServiceProtection(instant)};
    check(store.WaitingForKey(), "waiting for the key");
    check(!store.SetToken(PlatformId::YouTube, kYouTube), "nothing written");
  }
  ::kill(daemon, SIGCONT);
  check(HoldsOneReadableKey(), "the key is there once the service answers again");
}

int RunStep(std::string_view name, const std::filesystem::path& data) {
  const std::map<std::string_view, std::function<void(const std::filesystem::path&, StepCheck&)>>
      steps{{"write", StepWrite},
            {"read", StepRead},
            {"cannot-open", StepCannotOpen},
            {"unlock-during-run", StepUnlockDuringRun},
            {"read-merged", StepReadMerged},
            {"write-plain", StepWritePlain},
            {"seal-plain", StepSealPlain},
            {"hung-service", StepHungService}};
  const auto step = steps.find(name);
  if (step == steps.end()) return 100;
  StepCheck check;
  step->second(data, check);
  return check.failures();
}

// ---- The scenarios ----------------------------------------------------------------------------

class SecretKeyringTest : public testing::Test {
 protected:
  // Runs `step` in a child process beside a Secret Service in `mode` ("unlocked", "locked" or
  // "none"), the test failing when any of the step's checks failed.
  void Run(const char* mode, const char* step) { Run(mode, step, Data()); }
  void Run(const char* mode, const char* step, const std::filesystem::path& data) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string command = "timeout 60 sh '" VLO_SECRET_SERVICE_SESSION "' " +
                                std::string{mode} + " '" + Home().string() + "' '" + self +
                                "' --step " + step + " '" + data.string() + "' 2>&1";
    int status{-1};
    const std::string output = CommandOutput(command, &status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "step " << step << " (" << mode << ") failed:\n"
        << output;
  }

  std::filesystem::path Home() const { return dir_.path() / "home"; }
  std::filesystem::path Data() const { return dir_.path() / "VelaroChat"; }
  std::string FileBytes() const { return ReadAll(Data() / "secrets.dpapi"); }
  mode_t FileMode() const {
    struct stat st {};
    return ::stat((Data() / "secrets.dpapi").c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }

  test::TempDir dir_;
};

TEST_F(SecretKeyringTest, SealedInOneRunOpensInTheNext) {
  Run("unlocked", "write");
  const std::string bytes = FileBytes();
  EXPECT_TRUE(IsSealed(bytes));
  for (const std::string& text : {kTwitch.accessToken, *kTwitch.refreshToken, kKick.accessToken}) {
    EXPECT_EQ(bytes.find(text), std::string::npos);
  }
  EXPECT_EQ(FileMode(), 0600u);
  Run("unlocked", "read");
}

TEST_F(SecretKeyringTest, LockedOrAbsentServiceNeverLosesTheSealedFile) {
  Run("unlocked", "write");
  const std::string sealed = FileBytes();
  Run("locked", "cannot-open");
  EXPECT_EQ(FileBytes(), sealed);
  Run("none", "cannot-open");
  EXPECT_EQ(FileBytes(), sealed);
  // Another profile, with no file yet, writes the plain form rather than add a key.
  const std::filesystem::path other = dir_.path() / "VelaroChat-other";
  Run("locked", "write-plain", other);
  EXPECT_FALSE(IsSealed(ReadAll(other / "secrets.dpapi")));
  // Every token is back, under the one key there was (none was added while it was locked).
  Run("unlocked", "read");
}

TEST_F(SecretKeyringTest, KeyringUnlockedDuringARunKeepsBothRunsTokens) {
  Run("unlocked", "write");
  Run("locked", "unlock-during-run");
  Run("unlocked", "read-merged");
}

TEST_F(SecretKeyringTest, WithoutAServiceThePlainFormIsWrittenAndSealedLater) {
  Run("none", "write-plain");
  EXPECT_FALSE(IsSealed(FileBytes()));
  EXPECT_EQ(ParseSecrets(FileBytes()).tokens["twitch"], kTwitch);
  EXPECT_EQ(FileMode(), 0600u);
  Run("unlocked", "seal-plain");
  EXPECT_TRUE(IsSealed(FileBytes()));
  Run("unlocked", "read");
}

TEST_F(SecretKeyringTest, AServiceThatHangsIsGivenUpOn) {
  Run("unlocked", "write");
  Run("unlocked", "hung-service");
  Run("unlocked", "read");
}

}  // namespace
}  // namespace vlo

int main(int argc, char** argv) {
  if (argc == 4 && std::string_view{argv[1]} == "--step") {
    return vlo::RunStep(argv[2], argv[3]);
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
