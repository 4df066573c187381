// The continuation handler with its fast reader against the general reader: on every input,
// HandleContinuationResponse must give the same answer and leave the same rows as
// ParseContinuationResponse followed by HandleYouTubeChatItem per item. The input is tried as an
// answer, as one action of an answer and as a text message renderer, where the fast reader works.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "core/ChatHub.h"
#include "readers/youtube/ItemHandler.h"
#include "readers/youtube/PageChat.h"
#include "readers/youtube/SeenItems.h"

namespace {

struct Side {
  vlo::NoAccounts accounts;
  vlo::TestClock clock;
  vlo::ChatHub hub{accounts, clock};
  vlo::SeenItems seen;
};

void Compare(std::string_view body) {
  Side general;
  std::optional<std::string> expected;
  if (auto chat = vlo::ParseContinuationResponse(body)) {
    for (const std::string& item : chat->items) {
      vlo::HandleYouTubeChatItem(general.hub, item, &general.seen);
    }
    expected = std::move(chat->continuation);
  }
  Side fast;
  const std::optional<std::string> actual =
      vlo::HandleContinuationResponse(fast.hub, body, &fast.seen);
  if (actual != expected) std::abort();
  if (general.hub.Snapshot() != fast.hub.Snapshot()) std::abort();
}

std::string Answer(std::string_view actions) {
  return std::string{R"({"continuationContents":{"liveChatContinuation":{"continuations":)"
                     R"([{"timedContinuationData":{"continuation":"C1"}}],"actions":[)"} +
         std::string{actions} + "]}}}";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input{reinterpret_cast<const char*>(data), size};
  Compare(input);
  Compare(Answer(input));
  Compare(Answer(R"({"addChatItemAction":{"item":{"liveChatTextMessageRenderer":)" +
                 std::string{input} + "}}}"));
  return 0;
}
