#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string_view>

namespace vlo {

// Replaces `target` with `bytes` so that a crash or a full disk at any moment leaves either the
// old file or the new one, never a mix: the temporary file `target` + ".tmp" is created with
// `mode` (never wider, whatever the umask), written, flushed to disk, renamed over the
// target, and the folder is synced. False when any step failed; the target is then untouched.
bool WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes, mode_t mode);

// Writes all of `bytes` to the descriptor, going on after interruptions; false on an error.
bool WriteAll(int fd, std::string_view bytes);
// Persists the renames done inside `folder` (best effort).
void SyncFolder(const std::filesystem::path& folder);

}  // namespace vlo
