#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "alerts/AlertEvent.h"
#include "core/Json.h"

namespace vlo {

// Pure decoders: no I/O and no clock reads; `nowMs` is the receipt time. Each returns nothing
// for traffic that is not an alert.

// A Kick realtime event. The event name is matched on its last segment (the text after the
// last backslash). `dataText` may be an object or a JSON string holding one.
std::optional<AlertEvent> DecodeKickAlert(std::string_view eventName, std::string_view dataText,
                                          int64_t nowMs);
// Same, with the event's data already parsed (an object, or a string holding one).
std::optional<AlertEvent> DecodeKickAlert(std::string_view eventName, const json::Json& data,
                                          int64_t nowMs);
// Text forms (a JSON value converts implicitly from these, so they are spelled out).
inline std::optional<AlertEvent> DecodeKickAlert(std::string_view eventName,
                                                 const std::string& dataText, int64_t nowMs) {
  return DecodeKickAlert(eventName, std::string_view{dataText}, nowMs);
}
inline std::optional<AlertEvent> DecodeKickAlert(std::string_view eventName, const char* dataText,
                                                 int64_t nowMs) {
  return DecodeKickAlert(eventName, std::string_view{dataText}, nowMs);
}

// A raw Twitch IRC line with its tag prefix: USERNOTICE events, and PRIVMSG cheers. A trailing
// carriage return is ignored.
std::optional<AlertEvent> DecodeTwitchAlert(std::string_view line, int64_t nowMs);

// One YouTube live-chat item (the Data API item form).
std::optional<AlertEvent> DecodeYouTubeAlert(std::string_view itemJson, int64_t nowMs);
std::optional<AlertEvent> DecodeYouTubeAlert(const json::Json& item, int64_t nowMs);
inline std::optional<AlertEvent> DecodeYouTubeAlert(const std::string& itemJson, int64_t nowMs) {
  return DecodeYouTubeAlert(std::string_view{itemJson}, nowMs);
}
inline std::optional<AlertEvent> DecodeYouTubeAlert(const char* itemJson, int64_t nowMs) {
  return DecodeYouTubeAlert(std::string_view{itemJson}, nowMs);
}

}  // namespace vlo
