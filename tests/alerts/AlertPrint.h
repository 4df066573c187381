#pragma once

#include <ostream>

#include "alerts/AlertEvent.h"

namespace vlo {

// Readable failure output for AlertEvent comparisons.
inline void PrintTo(const AlertEvent& e, std::ostream* os) {
  *os << "{id=" << e.id << " platform=" << static_cast<int>(e.platform)
      << " kind=" << AlertKindName(e.kind) << " user=" << e.user << " count=" << e.count
      << " amount=" << e.amount << " message=" << e.message << " ts=" << e.timestamp << "}";
}

}  // namespace vlo
