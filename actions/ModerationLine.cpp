#include "actions/Actions.h"

namespace vlo {

namespace {

// "1 minute", "10 minutes", "1 hour", "24 hours": whole minutes below an hour, else whole hours.
std::string LengthText(int32_t seconds) {
  const int32_t minutes{seconds / 60};
  if (minutes < 60) {
    return std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
  }
  return std::to_string(seconds / 3600) + (minutes < 120 ? " hour" : " hours");
}

}  // namespace

std::string ModerationLine(const plx::ChatMessage& message, ModAction action, int32_t seconds,
                           const ModerationResult& result) {
  if (result.ok) {
    switch (action) {
      case ModAction::Delete:
        return {};
      case ModAction::Timeout:
        return "Timed out " + message.author + " for " + LengthText(seconds);
      case ModAction::Ban:
        return "Banned " + message.author;
    }
    return {};
  }
  std::string what;
  switch (action) {
    case ModAction::Delete:
      what = "delete the message";
      break;
    case ModAction::Timeout:
      what = "time out " + message.author;
      break;
    case ModAction::Ban:
      what = "ban " + message.author;
      break;
  }
  return "Could not " + what + ": " + result.detail;
}

void ReportModeration(ChatHub& hub, const plx::ChatMessage& message, ModAction action,
                      int32_t seconds, const ModerationResult& result) {
  std::string line{ModerationLine(message, action, seconds, result)};
  if (!line.empty()) hub.PostSystemLine(message.platform, std::move(line));
}

}  // namespace vlo
