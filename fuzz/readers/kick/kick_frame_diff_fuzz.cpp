// The fast chat frame reader against the general decoder: on every input where the fast reader
// answers, its event must equal the general decoder's, and the frame decoder must always give
// the general decoder's event. The input is tried as a frame and as a chat event's data text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/Json.h"
#include "readers/kick/KickEvent.h"

namespace {

constexpr int64_t kNow = 1'700'000'000'000;

void Compare(std::string_view frame) {
  const vlo::KickEvent reference = vlo::ParseKickEventDom(frame, kNow);
  if (const auto fast = vlo::ParseKickChatFrame(frame, kNow); fast && !(*fast == reference)) {
    std::abort();
  }
  if (!(vlo::ParseKickEvent(frame, kNow) == reference)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input{reinterpret_cast<const char*>(data), size};
  Compare(input);
  // As the payload of a chat message event, where the fast reader does its work.
  const vlo::json::Json wrapped = {{"event", "App\\Events\\ChatMessageEvent"},
                                   {"data", std::string{input}}};
  Compare(vlo::json::Dump(wrapped));
  return 0;
}
