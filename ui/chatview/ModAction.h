#pragma once

namespace vlo {

// Moderation asked for from the row menu; the int argument is 0, or the time-out in seconds.
enum class ModAction : int { Delete = 0, Timeout = 1, Ban = 2 };

}  // namespace vlo
