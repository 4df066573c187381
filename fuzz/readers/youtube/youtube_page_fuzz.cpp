// Live chat and live pages: the embedded data scanner, the client version and the scrapers.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "readers/youtube/PageChat.h"
#include "readers/youtube/PageScrapers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view html{reinterpret_cast<const char*>(data), size};
  if (const auto chat = vlo::InitPageChat(html)) {
    if (chat->continuation.empty() || chat->clientVersion.empty()) __builtin_trap();
  }
  (void)vlo::FindCanonicalVideoId(html);
  (void)vlo::FindChannelTitle(html);
  return 0;
}
