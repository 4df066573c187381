#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string_view>

namespace plx {

// A release version: three decimal numbers, each 0 to 65535, written without leading zeros and
// separated by single dots ("1.10.0"; not "1.1", "1.01.0", "1.1.3-beta" or "v1.1.3").
struct ReleaseVersion {
  uint16_t major{0};
  uint16_t minor{0};
  uint16_t patch{0};

  auto operator<=>(const ReleaseVersion&) const = default;
};

std::optional<ReleaseVersion> ParseVersion(std::string_view text);

// True only when both parse and `a` is later than `b`.
bool IsNewerVersion(std::string_view a, std::string_view b);

}  // namespace plx
