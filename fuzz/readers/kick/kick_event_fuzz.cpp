// Feeds arbitrary frames through the Kick frame decoder and, as the reader does, hands events that
// are neither messages nor removals to the alert decoder (with the parsed payload and with the
// raw data text).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "alerts/AlertDecoders.h"
#include "readers/kick/KickEvent.h"
#include "readers/kick/KickMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view frame{reinterpret_cast<const char*>(data), size};
  constexpr int64_t kNow = 1'700'000'000'000;
  vlo::KickEvent event = vlo::ParseKickEvent(frame, kNow);
  if (!event.message && !event.removal && !event.event.empty()) {
    if (!event.payload.is_null()) (void)vlo::DecodeKickAlert(event.event, event.payload, kNow);
    (void)vlo::DecodeKickAlert(event.event, event.dataText, kNow);
  }
  // The input also as message content and as an event name with a plain payload.
  (void)vlo::ReplaceKickEmoteMarkup(frame);
  (void)vlo::DecodeKickAlert(frame, std::string_view{R"({"username":"a","months":3})"}, kNow);
  return 0;
}
