#include "updater/InstalledCopy.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <system_error>

#include "core/AppPaths.h"
#include "core/Json.h"

namespace plx {
namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxRegistrationBytes = 65536;

// Symbolic links resolved where the path exists, "." and ".." folded, no trailing separator.
fs::path Comparable(const fs::path& path) {
  std::error_code error;
  fs::path resolved = fs::weakly_canonical(path, error);
  if (error) resolved = path.lexically_normal();
  std::string text = resolved.string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return fs::path{text};
}

}  // namespace

std::optional<InstallRegistration> ReadInstallRegistration(const fs::path& programFolder) {
  std::ifstream in{programFolder / kRegistrationFileName, std::ios::binary};
  if (!in) return std::nullopt;
  std::string text;
  text.resize(kMaxRegistrationBytes + 1);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  if (text.size() > kMaxRegistrationBytes) return std::nullopt;

  const vlo::json::Json document = vlo::json::ParseObject(text);
  const std::optional<std::string> location = vlo::json::TextMember(document, "installLocation");
  if (!location || location->empty() || !fs::path{*location}.is_absolute()) return std::nullopt;
  return InstallRegistration{fs::path{*location}, vlo::json::TextOr(document, "version")};
}

fs::path RunningProgramFolder() { return vlo::AppPaths::ProgramFolder(); }

bool IsInstalledCopy(const fs::path& programFolder) {
  if (programFolder.empty()) return false;
  const std::optional<InstallRegistration> registration = ReadInstallRegistration(programFolder);
  if (!registration) return false;
  if (Comparable(registration->installLocation / kProgramSubfolder) != Comparable(programFolder)) {
    return false;
  }
  // The installer runs as this user: a copy installed where only someone else may write (a
  // system folder) could not be replaced, and the program would close for nothing.
  return ::access(programFolder.c_str(), W_OK) == 0 &&
         ::access(registration->installLocation.c_str(), W_OK) == 0;
}

bool IsInstalledCopy() { return IsInstalledCopy(RunningProgramFolder()); }

}  // namespace plx
