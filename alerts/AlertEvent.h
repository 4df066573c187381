#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/Platform.h"

namespace vlo {

// Values are shared with the settings and the view; keep them stable.
enum class AlertKind : int32_t {
  Follow = 0,
  Subscribe = 1,
  Resubscribe = 2,
  GiftSub = 3,
  Cheer = 4,
  SuperChat = 5,
  SuperSticker = 6,
  Membership = 7,
  Raid = 8,
  Gift = 9,
};

// A platform event that is not an ordinary chat message (a sub, raid, Super Chat, ...).
struct AlertEvent {
  std::string id;  // platform-prefixed identity ("tw-ev-", "kick-ev-", "yt-ev-", "tw-cheer-")
  plx::PlatformId platform{plx::PlatformId::Twitch};
  AlertKind kind{AlertKind::Follow};
  std::string user;      // who acted: subscriber, gifter, raider, cheerer, member
  int32_t count{0};      // months, gifts, viewers, bits or Kicks; 0 when not given
  std::string amount;    // tier, money amount, member level, bits text or gift text
  std::string message;   // the user's own text, a single gift's recipient, a sticker text
  int64_t timestamp{0};  // ms since the epoch

  bool operator==(const AlertEvent&) const = default;
};

// "follow", "subscribe", ...; any value outside the enum gives "follow".
const char* AlertKindName(AlertKind kind);

// The display sentence, e.g. "amy resubscribed for 5 months".
std::string AlertText(const AlertEvent& event);

// A Twitch sub-plan value ("Prime", "1000", "2000", "3000") as display text; empty otherwise.
std::string TierName(std::string_view plan);

}  // namespace vlo
