#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace plx {

// How the installer is started and what it starts again when it is done.
struct InstallerLaunch {
  // The folder of the program being replaced; empty = the running program's.
  std::filesystem::path programFolder;
  // The arguments the program is started again with.
  std::vector<std::string> relaunchArgs;
  // The installer waits for this process to end before it replaces any file; 0 = this process.
  pid_t waitPid{0};
  // Runs the installer script (so that no execute permission is needed on it).
  std::string shell{"/bin/sh"};
};

// Starts the installer detached from this process (a session of its own, no terminal, no
// inherited descriptors) and silently: it installs into the registered install location
// (InstallRegistration), leaves the desktop entry as it is, waits for `waitPid` to end and then
// starts the program again from the same place. The data folder is not the installer's business.
// False with the reason in `error` (not null) when this copy was not installed or the installer
// could not be started.
bool RunInstaller(const std::filesystem::path& installer, const InstallerLaunch& launch,
                  std::string* error);

// The arguments this process was started with, without the program's name (the original ones,
// before any toolkit took its own out).
std::vector<std::string> RunningProgramArguments();

}  // namespace plx
