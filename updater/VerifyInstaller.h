#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>

#include "updater/UpdateRelease.h"

namespace plx {

// The installer is a shell script with an archive behind it. Its header starts with
// kInstallerShebang and names, within its first kInstallerHeadBytes, its version and the machine
// it was built for in these marker lines, so that both can be read without running it.
inline constexpr std::string_view kInstallerShebang = "#!/bin/sh\n";
inline constexpr std::string_view kInstallerVersionMarker = "# VelaroChat-Installer-Version: ";
inline constexpr std::string_view kInstallerMachineMarker = "# VelaroChat-Installer-Machine: ";
inline constexpr size_t kInstallerHeadBytes = 4096;

// The machine this program was built for, as the installer's machine marker names it ("x86_64").
std::string_view ThisMachine();

// Whether the start of an installer file is an installer of exactly `version` (which must parse)
// for this machine.
bool InstallerVersionMatches(std::string_view head, std::string_view version);

// Checks the file against the release: its size, its SHA-256 digest (read in 64 KiB blocks,
// `cancel` checked before each) and its version marker. False with the reason in `error` (not
// null). Blocks; runs on a background task.
bool VerifyInstaller(const std::filesystem::path& file, const UpdateRelease& release,
                     const std::atomic<bool>& cancel, std::string* error);

}  // namespace plx
