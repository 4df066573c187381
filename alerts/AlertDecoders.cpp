#include "alerts/AlertDecoders.h"

namespace vlo {

std::optional<AlertEvent> DecodeKickAlert(std::string_view, std::string_view, int64_t) {
  return std::nullopt;
}
std::optional<AlertEvent> DecodeKickAlert(std::string_view, const json::Json&, int64_t) {
  return std::nullopt;
}
std::optional<AlertEvent> DecodeTwitchAlert(std::string_view, int64_t) { return std::nullopt; }
std::optional<AlertEvent> DecodeYouTubeAlert(std::string_view, int64_t) { return std::nullopt; }
std::optional<AlertEvent> DecodeYouTubeAlert(const json::Json&, int64_t) { return std::nullopt; }

}  // namespace vlo
