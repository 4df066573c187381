#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vlo {

// The profile from the command line: the last "--profile=" argument, or empty (the default
// profile) when it is missing, longer than 32 characters or holds anything but letters, digits,
// "-" and "_". UTF-8.
std::string ParseProfile(const std::vector<std::string>& args);
std::string ParseProfile(int argc, const char* const* argv);

bool IsValidProfile(std::string_view profile);

// "Velaro Chat (Beta)" or "Velaro Chat (Beta, " + profile + ")".
std::string MakeWindowTitle(std::string_view profile);

// The per-profile single-instance name: "VelaroChat_SingleInstance" [+ "_" + profile].
std::string SingleInstanceName(std::string_view profile);

struct AppPaths {
  // $XDG_DATA_HOME (else ~/.local/share) + "VelaroChat" or "VelaroChat-" + profile; the folder
  // of the executable when neither can be found. Not created here.
  static std::filesystem::path ResolveDataFolder(std::string_view profile);
  // The folder of the running program; empty when it cannot be told.
  static std::filesystem::path ProgramFolder();
};

}  // namespace vlo
