#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace plx {

// `cmake --install` and the installer write this file beside the program they install:
// {"installLocation": the install prefix, "version": the installed version}.
inline constexpr std::string_view kRegistrationFileName = "velaro-chat.install";
// Where the program sits inside its install prefix.
inline constexpr std::string_view kProgramSubfolder = "bin";
inline constexpr std::string_view kProgramName = "velaro-chat";

struct InstallRegistration {
  std::filesystem::path installLocation;  // absolute
  std::string version;
};

// The registration beside the program in `programFolder`; nothing when the file is missing,
// larger than 64 KiB, or names no absolute install location.
std::optional<InstallRegistration> ReadInstallRegistration(
    const std::filesystem::path& programFolder);

// The folder of this process's executable (symbolic links resolved); empty when unknown.
std::filesystem::path RunningProgramFolder();

// Whether the program in `programFolder` was installed there and can be updated: its registration
// names the prefix whose program folder it is, and this user may write to both. A copy run from a
// build tree has no registration; a tree copied or moved elsewhere names another folder.
bool IsInstalledCopy(const std::filesystem::path& programFolder);
// Of the running program.
bool IsInstalledCopy();

}  // namespace plx
