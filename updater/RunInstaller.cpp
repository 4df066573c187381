#include "updater/RunInstaller.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include "updater/InstalledCopy.h"

extern char** environ;

namespace plx {
namespace {

// posix_spawn's attributes and file actions, released on every way out.
struct SpawnSetup {
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_t actions;
  SpawnSetup() {
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_init(&actions);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

// A session of its own, the signals as a fresh process has them, standard streams on /dev/null
// and nothing else of this process open: the installer must not keep a socket or the instance
// lock alive after the program has gone.
int Prepare(SpawnSetup& setup) {
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGCHLD, SIGQUIT}) {
    sigaddset(&defaults, signal);
  }
  int failure = posix_spawnattr_setflags(
      &setup.attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  if (failure == 0) failure = posix_spawnattr_setsigmask(&setup.attributes, &none);
  if (failure == 0) failure = posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    const int flags = fd == STDIN_FILENO ? O_RDONLY : O_WRONLY;
    if (failure == 0) {
      failure = posix_spawn_file_actions_addopen(&setup.actions, fd, "/dev/null", flags, 0);
    }
  }
  if (failure == 0) failure = posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
  return failure;
}

}  // namespace

bool RunInstaller(const std::filesystem::path& installer, const InstallerLaunch& launch,
                  std::string* error) {
  const std::filesystem::path programFolder =
      launch.programFolder.empty() ? RunningProgramFolder() : launch.programFolder;
  const std::optional<InstallRegistration> registration =
      IsInstalledCopy(programFolder) ? ReadInstallRegistration(programFolder) : std::nullopt;
  if (!registration) {
    *error =
        "This copy was not installed with the setup. Download the new version from the website.";
    return false;
  }

  std::vector<std::string> args{
      launch.shell,
      installer.string(),
      "--prefix=" + registration->installLocation.string(),
      "--silent",
      "--keep-desktop-entry",
      "--wait-pid=" + std::to_string(launch.waitPid > 0 ? launch.waitPid : ::getpid()),
      "--relaunch",
      "--"};
  args.insert(args.end(), launch.relaunchArgs.begin(), launch.relaunchArgs.end());
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  SpawnSetup setup;
  int failure = Prepare(setup);
  pid_t child = 0;
  if (failure == 0) {
    failure = posix_spawn(&child, launch.shell.c_str(), &setup.actions, &setup.attributes,
                          argv.data(), environ);
  }
  if (failure != 0) {
    *error = "The system could not start the update (code " + std::to_string(failure) + ").";
    return false;
  }
  return true;
}

std::vector<std::string> RunningProgramArguments() {
  std::ifstream in{"/proc/self/cmdline", std::ios::binary};
  const std::string all{std::istreambuf_iterator<char>{in}, {}};
  std::vector<std::string> args;
  size_t at = 0;
  while (at < all.size()) {
    const size_t end = all.find('\0', at);
    args.push_back(all.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  if (!args.empty()) args.erase(args.begin());
  return args;
}

}  // namespace plx
