#include "alerts/AlertEvent.h"

namespace vlo {

const char* AlertKindName(AlertKind) { return "follow"; }
std::string AlertText(const AlertEvent&) { return {}; }
std::string TierName(std::string_view) { return {}; }

}  // namespace vlo
