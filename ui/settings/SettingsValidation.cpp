#include "ui/settings/SettingsValidation.h"

#include <QStringList>
#include <algorithm>

#include "ui/rules/ChatRules.h"

#include "core/ChatSettings.h"
#include "core/YouTubeTarget.h"

namespace vlo {

namespace {

ChannelCheck Failure(ChannelField field, std::string_view error) {
  ChannelCheck check;
  check.failed = field;
  check.error = std::string{error};
  return check;
}

bool OnlyBlanks(std::string_view text) {
  return text.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

ChannelCheck CheckChannelFields(std::string_view twitch, std::string_view youtube,
                                std::string_view kick) {
  const std::optional<std::string> twitchName{NormaliseTwitchChannel(twitch)};
  if (!twitchName) return Failure(ChannelField::Twitch, kTwitchFieldError);
  if (!ParseYouTubeTarget(youtube)) return Failure(ChannelField::YouTube, kYouTubeFieldError);
  const std::optional<std::string> kickName{NormaliseKickChannel(kick)};
  if (!kickName) return Failure(ChannelField::Kick, kKickFieldError);

  ChannelCheck check;
  check.twitchChannel = *twitchName;
  check.kickChannel = *kickName;
  if (!OnlyBlanks(youtube)) check.youtubeTarget = std::string{youtube};
  return check;
}

std::vector<std::string>& RuleList(ChatSettings& s, int list) {
  switch (list) {
    case 0:
      return s.highlightWords;
    case 1:
      return s.highlightUsers;
    case 2:
      return s.highlightPatterns;
    case 3:
      return s.ignoreUsers;
    default:
      return s.ignorePatterns;
  }
}

const std::vector<std::string>& RuleList(const ChatSettings& s, int list) {
  return RuleList(const_cast<ChatSettings&>(s), list);
}

QString JoinLines(const std::vector<std::string>& entries) {
  QStringList lines;
  for (const std::string& entry : entries) lines << QString::fromStdString(entry);
  return lines.join(QChar{'\n'});
}

std::vector<std::string> SplitLines(const QString& text) {
  std::vector<std::string> entries;
  for (const QString& line : text.split(QChar{'\n'})) {
    const std::string entry{line.trimmed().toStdString()};
    if (entry.empty()) continue;
    if (std::find(entries.begin(), entries.end(), entry) == entries.end()) entries.push_back(entry);
  }
  return entries;
}

std::optional<std::string> RulesProblem(const ChatSettings& settings, int* list) {
  constexpr std::pair<int, const char*> kPatternLists[]{{2, "Highlight patterns"},
                                                        {4, "Hidden patterns"}};
  for (const auto& [index, name] : kPatternLists) {
    for (const std::string& pattern : RuleList(settings, index)) {
      if (std::optional<std::string> problem{PatternProblem(pattern)}) {
        if (list) *list = index;
        return std::string{name} + ": " + *problem;
      }
    }
  }
  return std::nullopt;
}

}  // namespace vlo
