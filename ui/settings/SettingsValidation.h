#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ChatSettings.h"

namespace vlo {

inline constexpr std::string_view kTwitchFieldError{
    "That Twitch channel name doesn't look right (letters, numbers and _ only)."};
inline constexpr std::string_view kYouTubeFieldError{
    "Paste a YouTube live video link, a channel link or an @handle - or leave it empty."};
inline constexpr std::string_view kKickFieldError{"That Kick channel name doesn't look right."};

// Which channel field failed first, in the order the fields are checked.
enum class ChannelField { None, Twitch, YouTube, Kick };

// What Save makes of the three channel fields.
struct ChannelCheck {
  ChannelField failed{ChannelField::None};
  std::string error;          // the text for the error line; empty when every field is valid
  std::string twitchChannel;  // normalised
  std::string youtubeTarget;  // as typed, or empty when it holds only spaces and tabs
  std::string kickChannel;    // normalised

  bool ok() const { return failed == ChannelField::None; }
};

// Checks Twitch, then YouTube, then Kick (UTF-8 text as typed); the first failure wins.
ChannelCheck CheckChannelFields(std::string_view twitch, std::string_view youtube,
                                std::string_view kick);

// The highlights page's lists in command order: highlight words, users and patterns, then hidden
// users and patterns.
inline constexpr int kRuleListCount{5};
std::vector<std::string>& RuleList(ChatSettings& settings, int list);
const std::vector<std::string>& RuleList(const ChatSettings& settings, int list);
// The pause choices of the highlights page, in seconds (0: until the pointer leaves).
inline constexpr int kPauseSeconds[]{0, 2, 5, 10};

// A list as its text area shows it (one entry a line), and back: entries trimmed, empty lines
// and repeats dropped.
QString JoinLines(const std::vector<std::string>& entries);
std::vector<std::string> SplitLines(const QString& text);

// The first pattern of either pattern list that cannot be used, as a sentence naming its list;
// with `list` set to that list.
std::optional<std::string> RulesProblem(const ChatSettings& settings, int* list = nullptr);

}  // namespace vlo
