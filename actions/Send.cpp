#include "actions/Actions.h"

namespace vlo {

using plx::PlatformId;

std::vector<SendResult> Send(ChatHub& hub, const Endpoints& endpoints,
                             const std::vector<PlatformId>& targets, const std::string& text) {
  if (text.empty() || targets.empty()) return {};

  // Expected back from every target until the sends say otherwise.
  hub.ExpectEcho(text, targets);
  std::vector<SendResult> results;
  std::vector<PlatformId> sent;
  for (const PlatformId target : targets) {
    SendResult result;
    switch (target) {
      case PlatformId::Twitch:
        result = SendTwitch(hub, endpoints, text);
        break;
      case PlatformId::YouTube:
        result = SendYouTube(hub, endpoints, text);
        break;
      case PlatformId::Kick:
        result = SendKick(hub, endpoints, text);
        break;
      default:
        result = {target, false, "not supported"};
        break;
    }
    if (result.ok) sent.push_back(target);
    results.push_back(std::move(result));
  }
  hub.KeepEchoFor(text, sent);

  if (!sent.empty()) {
    const int64_t now{hub.GetClock().NowMs()};
    plx::ChatMessage copy;
    copy.id = plx::MakeLocalId("out-", now);
    copy.platform = sent.front();
    copy.author = "You";
    copy.body = text;
    copy.timestampMs = now;
    copy.tags.push_back("outbound");
    for (const PlatformId platform : sent) copy.tags.push_back(plx::PlatformKey(platform));
    hub.AddMessage(std::move(copy));
  }
  return results;
}

}  // namespace vlo
