#pragma once

// Sending messages and moderating, through each platform's official API with the signed-in
// user's token. Functions over the hub: they read its ids and tokens, add the local copy of a
// sent message, and apply removals. Each blocks for its requests (15 s time-out each); call them
// on a worker thread, never on the window thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/ChatHub.h"
#include "core/ChatMessage.h"
#include "core/Endpoints.h"
#include "core/ModAction.h"
#include "net/Http.h"

namespace vlo {

struct SendResult {
  plx::PlatformId platform{plx::PlatformId::Twitch};
  bool ok{false};
  std::string detail;  // "sent", or the reason

  bool operator==(const SendResult&) const = default;
};

struct ModerationResult {
  bool ok{false};
  std::string detail;  // "done", or the reason

  bool operator==(const ModerationResult&) const = default;
};

// Posts `text` to each target in order. Empty text or no targets: nothing is done and nothing is
// returned. At least one success adds one local "outbound" row.
std::vector<SendResult> Send(ChatHub& hub, const Endpoints& endpoints,
                             const std::vector<plx::PlatformId>& targets, const std::string& text);
SendResult SendTwitch(ChatHub& hub, const Endpoints& endpoints, const std::string& text);
SendResult SendKick(ChatHub& hub, const Endpoints& endpoints, const std::string& text);
SendResult SendYouTube(ChatHub& hub, const Endpoints& endpoints, const std::string& text);

// The reason text of a failed platform API answer.
std::string ApiErrorText(const plx::HttpResponse& response);

// Deletes the message, or times out (seconds clamped to one minute … fourteen days) or bans its
// author. On success the affected rows are marked deleted at once.
ModerationResult Moderate(ChatHub& hub, const Endpoints& endpoints, const plx::ChatMessage& message,
                          ModAction action, int32_t seconds);
ModerationResult ModerateTwitch(ChatHub& hub, const Endpoints& endpoints,
                                const plx::ChatMessage& message, ModAction action, int32_t seconds);
ModerationResult ModerateKick(ChatHub& hub, const Endpoints& endpoints,
                              const plx::ChatMessage& message, ModAction action, int32_t seconds);
ModerationResult ModerateYouTube(ChatHub& hub, const Endpoints& endpoints,
                                 const plx::ChatMessage& message, ModAction action,
                                 int32_t seconds);
// The common mapping of a moderation answer.
ModerationResult ModerationOutcome(plx::PlatformId platform, const plx::HttpResponse& response);

// The system line reporting a moderation (empty for a successful delete, which shows as the
// deleted row). `seconds` as the menu passed them, before clamping.
std::string ModerationLine(const plx::ChatMessage& message, ModAction action, int32_t seconds,
                           const ModerationResult& result);
// Posts ModerationLine on the message's platform when it is not empty.
void ReportModeration(ChatHub& hub, const plx::ChatMessage& message, ModAction action,
                      int32_t seconds, const ModerationResult& result);

}  // namespace vlo
