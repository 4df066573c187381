#include "updater/ReleaseVersion.h"

namespace plx {
namespace {

// One component at the front of `text`, consumed with it.
std::optional<uint16_t> TakeNumber(std::string_view& text) {
  size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == 0 || digits > 5 || (digits > 1 && text[0] == '0')) return std::nullopt;
  uint32_t value = 0;
  for (size_t i = 0; i < digits; ++i) value = value * 10 + static_cast<uint32_t>(text[i] - '0');
  if (value > 65535) return std::nullopt;
  text.remove_prefix(digits);
  return static_cast<uint16_t>(value);
}

}  // namespace

std::optional<ReleaseVersion> ParseVersion(std::string_view text) {
  uint16_t parts[3]{};
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (text.empty() || text.front() != '.') return std::nullopt;
      text.remove_prefix(1);
    }
    const std::optional<uint16_t> number = TakeNumber(text);
    if (!number) return std::nullopt;
    parts[i] = *number;
  }
  if (!text.empty()) return std::nullopt;
  return ReleaseVersion{parts[0], parts[1], parts[2]};
}

bool IsNewerVersion(std::string_view a, std::string_view b) {
  const std::optional<ReleaseVersion> left = ParseVersion(a);
  const std::optional<ReleaseVersion> right = ParseVersion(b);
  return left && right && *left > *right;
}

}  // namespace plx
