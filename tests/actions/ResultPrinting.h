#pragma once

#include <ostream>

#include "actions/Actions.h"

namespace vlo {

// Readable failure output for the result records.
inline void PrintTo(const SendResult& result, std::ostream* out) {
  *out << "{" << plx::PlatformName(result.platform) << ", " << (result.ok ? "ok" : "not ok")
       << ", \"" << result.detail << "\"}";
}

inline void PrintTo(const ModerationResult& result, std::ostream* out) {
  *out << "{" << (result.ok ? "ok" : "not ok") << ", \"" << result.detail << "\"}";
}

}  // namespace vlo
