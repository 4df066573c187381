// Continuation answers through conversion and the item handler, as the page reader runs them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/ChatHub.h"
#include "readers/youtube/ItemHandler.h"
#include "readers/youtube/PageChat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vlo::NoAccounts accounts;
  static vlo::TestClock clock;
  static vlo::ChatHub hub{accounts, clock};
  const std::string_view body{reinterpret_cast<const char*>(data), size};
  if (const auto chat = vlo::ParseContinuationResponse(body)) {
    for (const std::string& item : chat->items) vlo::HandleYouTubeChatItem(hub, item);
  }
  // Items straight from the input too, as the Data API reader hands them over.
  vlo::HandleYouTubeChatItem(hub, body);
  return 0;
}
