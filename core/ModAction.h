#pragma once

namespace vlo {

// A moderation action on one chat message: delete it, or time out or ban its author.
enum class ModAction : int { Delete = 0, Timeout = 1, Ban = 2 };

}  // namespace vlo
