#include "core/AppPaths.h"

#include <locale.h>
#include <unistd.h>
#include <wctype.h>

#include <cstdlib>

#include "core/TextRules.h"

namespace vlo {

namespace {

bool IsUnicodeAlnum(char32_t cp) {
  // Classification through the C.UTF-8 locale, independent of the user's locale.
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (cp < 0x80 || !utf8) {
    return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9');
  }
  return iswalnum_l(static_cast<wint_t>(cp), utf8) != 0;
}

}  // namespace

std::filesystem::path AppPaths::ProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path{} : exe.parent_path();
}

bool IsValidProfile(std::string_view profile) {
  size_t units = 0;  // counted in UTF-16 units, as the profile's length rule is defined
  for (size_t i = 0; i < profile.size();) {
    char32_t cp = 0;
    if (!NextCodePoint(profile, i, cp)) return false;
    units += cp > 0xFFFF ? 2 : 1;
    if (!(IsUnicodeAlnum(cp) || cp == '-' || cp == '_')) return false;
  }
  return units >= 1 && units <= 32;
}

std::string ParseProfile(const std::vector<std::string>& args) {
  constexpr std::string_view kFlag = "--profile=";
  std::string profile;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i].size() >= kFlag.size() && args[i].compare(0, kFlag.size(), kFlag) == 0) {
      profile = args[i].substr(kFlag.size());
    }
  }
  return profile.empty() || IsValidProfile(profile) ? profile : std::string{};
}

std::string ParseProfile(int argc, const char* const* argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
  return ParseProfile(args);
}

std::string MakeWindowTitle(std::string_view profile) {
  if (profile.empty()) return "Velaro Chat (Beta)";
  return "Velaro Chat (Beta, " + std::string{profile} + ")";
}

std::string SingleInstanceName(std::string_view profile) {
  std::string name = "VelaroChat_SingleInstance";
  if (!profile.empty()) name += "_" + std::string{profile};
  return name;
}

std::filesystem::path AppPaths::ResolveDataFolder(std::string_view profile) {
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    base = std::filesystem::path{home} / ".local" / "share";
  } else {
    base = ProgramFolder();
    if (base.empty()) {
      std::error_code ec;
      base = std::filesystem::current_path(ec);
    }
  }
  return base /
         (profile.empty() ? std::string{"VelaroChat"} : "VelaroChat-" + std::string{profile});
}

}  // namespace vlo
