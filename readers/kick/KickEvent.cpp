#include "readers/kick/KickEvent.h"

#include <utility>

#include "readers/kick/KickMessage.h"

namespace vlo {

using json::Json;

std::string_view KickEventLeaf(std::string_view eventName) {
  const size_t slash = eventName.rfind('\\');
  return slash == std::string_view::npos ? eventName : eventName.substr(slash + 1);
}

KickEvent ParseKickEvent(std::string_view frame, int64_t nowMs) {
  if (auto event = ParseKickChatFrame(frame, nowMs)) return std::move(*event);
  return ParseKickEventDom(frame, nowMs);
}

KickEvent ParseKickEventDom(std::string_view frame, int64_t nowMs) {
  KickEvent result;
  Json doc = json::ParseAny(frame);
  if (!doc.is_object()) return result;

  if (const Json* event = json::Find(doc, "event")) {
    result.event = json::AsText(*event).value_or(std::string{});
  }
  const auto data = doc.find("data");
  if (data == doc.end() || data->is_null()) return result;
  if (data->is_string()) {
    result.dataText = data->get_ref<const std::string&>();
    result.payload = json::ParseAny(result.dataText);
    if (result.payload.is_discarded()) result.payload = nullptr;
  } else {
    result.dataText = json::Dump(*data);
    result.payload = std::move(*data);
  }
  if (!result.payload.is_object()) return result;

  const std::string_view leaf = KickEventLeaf(result.event);
  if (leaf == "ChatMessageEvent" || result.event == "chat.message.sent") {
    result.message = BuildKickMessage(result.payload, nowMs);
    result.payload = Json{};
  } else if ((result.removal = BuildKickRemoval(leaf, result.payload))) {
    result.payload = Json{};
  }
  return result;
}

}  // namespace vlo
