#include "alerts/AddAlert.h"

namespace vlo {

void AddAlert(ChatHub&, const AlertEvent&) {}

}  // namespace vlo
