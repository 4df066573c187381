#include "logs/LogFormat.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "core/TextRules.h"
#include "core/YouTubeTarget.h"

namespace vlo {

namespace {

bool IsLineBreaking(char32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
}

std::string RowText(const plx::ChatRow& row) {
  const std::string author = OneLine(row.author);
  const std::string body = OneLine(row.body);
  if (plx::HasTag(row, "system")) return "[system] " + body;
  if (plx::HasTag(row, "event")) return "[alert] " + body;
  if (plx::HasTag(row, "outbound")) return "[sent] " + author + ": " + body;
  if (author.empty()) return body;
  if (plx::HasTag(row, "action")) return "* " + author + " " + body;
  return author + ": " + body;
}

std::string Prefix(plx::PlatformId platform, std::string_view time) {
  std::string line{time};
  line.append(" [").append(plx::PlatformKey(platform)).append("] ");
  return line;
}

}  // namespace

LocalStamp LocalStampOf(int64_t ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  char date[16];
  char time[16];
  std::strftime(date, sizeof date, "%Y-%m-%d", &local);
  std::strftime(time, sizeof time, "%H:%M:%S", &local);
  return {date, time};
}

std::string OneLine(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t start = i;
    char32_t cp = 0;
    if (!NextCodePoint(text, i, cp)) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else if (IsLineBreaking(cp)) {
      out += ' ';
    } else {
      out.append(text.substr(start, i - start));
    }
  }
  return out;
}

std::vector<plx::PlatformId> LogPlatformsOf(const plx::ChatRow& row) {
  std::vector<plx::PlatformId> platforms;
  if (plx::HasTag(row, "outbound")) {
    for (const plx::PlatformId platform : plx::kReadPlatforms) {
      if (plx::HasTag(row, plx::PlatformKey(platform))) platforms.push_back(platform);
    }
  }
  if (platforms.empty()) platforms.push_back(row.platform);
  return platforms;
}

std::string LogLine(const plx::ChatRow& row, plx::PlatformId platform, std::string_view time) {
  return Prefix(platform, time) + RowText(row);
}

std::string DeletionLine(const plx::ChatRow& row, plx::PlatformId platform, std::string_view time) {
  return Prefix(platform, time) + "[deleted] " + RowText(row);
}

std::string FileNameSafe(std::string_view name, size_t maxBytes) {
  std::string out;
  size_t i = 0;
  while (i < name.size()) {
    const size_t start = i;
    char32_t cp = 0;
    std::string_view piece;
    if (!NextCodePoint(name, i, cp)) {
      ++i;
      piece = "_";
    } else if (IsLineBreaking(cp) || cp == '/' || cp == '\\' || (out.empty() && cp == '.')) {
      piece = "_";
    } else {
      piece = name.substr(start, i - start);
    }
    if (out.size() + piece.size() > maxBytes) break;
    out.append(piece);
  }
  return out;
}

std::string LogChannel(const ChatTargets& targets, plx::PlatformId platform) {
  switch (platform) {
    case plx::PlatformId::Twitch:
      return FileNameSafe(targets.twitchChannel);
    case plx::PlatformId::Kick:
      return FileNameSafe(targets.kickChannel);
    case plx::PlatformId::YouTube:
      if (const auto target = ParseYouTubeTarget(targets.youtubeTarget)) {
        if (target->kind == YouTubeTargetKind::ChannelHandle) {
          return FileNameSafe("@" + target->value);
        }
        return FileNameSafe(target->value);
      }
      return FileNameSafe(TrimSpace(targets.youtubeTarget));
    default:
      return {};
  }
}

std::string LogBaseName(std::string_view date, plx::PlatformId platform, std::string_view channel) {
  std::string base{date};
  base.append(" ").append(plx::PlatformKey(platform));
  if (!channel.empty()) base.append(" ").append(channel);
  return base;
}

std::string LogFileName(std::string_view base, int part) {
  std::string name{base};
  if (part > 1) name.append(" (").append(std::to_string(part)).append(")");
  return name.append(".log");
}

std::filesystem::path LogsFolder(const std::filesystem::path& dataFolder) {
  return dataFolder / "logs";
}

std::string LogPausedText(int error, const std::filesystem::path& folder) {
  constexpr std::string_view kGoesOn = " The chat carries on here, and logging resumes by itself ";
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return std::string{"Chat log: the disk is full, so logging is paused."} +
             std::string{kGoesOn} + "once there is space again.";
    case EACCES:
    case EPERM:
    case EROFS:
    case ENOTDIR:
    case EEXIST:
    case EISDIR:
      return "Chat log: the logs folder \"" + folder.string() +
             "\" cannot be written to, so logging is paused." + std::string{kGoesOn} +
             "once it can be written to.";
    default:
      return "Chat log: a log file could not be written (" + std::string{std::strerror(error)} +
             "), so logging is paused." + std::string{kGoesOn} + "when writing works again.";
  }
}

}  // namespace vlo
