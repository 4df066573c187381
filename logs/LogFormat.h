#pragma once

// The text of the chat logs: one line per row, the file names, and the sentences the chat is
// told when logging pauses or resumes. Pure.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/ChatHub.h"
#include "core/ChatMessage.h"

namespace vlo {

// Local date "YYYY-MM-DD" and time "HH:MM:SS" of a moment in ms since the epoch.
struct LocalStamp {
  std::string date;
  std::string time;
};
LocalStamp LocalStampOf(int64_t ms);

// `text` fit for one log line: control characters (C0, DEL, C1) and the Unicode line and
// paragraph separators become a space, and bytes that are not UTF-8 become U+FFFD.
std::string OneLine(std::string_view text);

// The platforms whose logs take `row`: its own, or for a message the user sent, every platform
// it went to.
std::vector<plx::PlatformId> LogPlatformsOf(const plx::ChatRow& row);

// "HH:MM:SS [platform] " and then "Author: text", "* Author text" (an action),
// "[sent] Author: text" (the user's own message), "[alert] text" or "[system] text".
std::string LogLine(const plx::ChatRow& row, plx::PlatformId platform, std::string_view time);
// "HH:MM:SS [platform] [deleted] " and then the row as LogLine writes it after the platform.
std::string DeletionLine(const plx::ChatRow& row, plx::PlatformId platform, std::string_view time);

// A name fit for a file name: '/', '\' and control characters become '_', as does a leading
// '.'; bytes that are not UTF-8 become '_'; cut to at most `maxBytes` bytes on a character
// boundary.
std::string FileNameSafe(std::string_view name, size_t maxBytes = 64);
// The channel a platform's log is named after, file-name safe: the Twitch or Kick channel, or
// the YouTube target as "@handle", a channel id or a video id. Empty when none is set.
std::string LogChannel(const ChatTargets& targets, plx::PlatformId platform);
// "2026-12-10 twitch velarodemo" (without the channel when it is empty).
std::string LogBaseName(std::string_view date, plx::PlatformId platform, std::string_view channel);
// base + ".log" for the first part, base + " (n).log" for part n.
std::string LogFileName(std::string_view base, int part);

// The folder the logs go to: "logs" in the data folder.
std::filesystem::path LogsFolder(const std::filesystem::path& dataFolder);

// The system line that tells the chat logging paused after a failed write with `error` (an
// errno value).
std::string LogPausedText(int error, const std::filesystem::path& folder);
inline constexpr std::string_view kLogResumedText = "Chat log: logging resumed.";

}  // namespace vlo
