#pragma once

// The main window's header and layout rules as plain functions: rectangles, hit testing, status
// lines, tooltips, the platform filter and the empty-view texts. Lengths are logical pixels.

#include <QRect>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/ChatMessage.h"
#include "core/PlatformStatus.h"

namespace vlo {

// Header items; the platform filter uses 1..3 too (0 = all chats).
enum HeaderItem : int {
  kItemNone = 0,
  kItemTwitch = 1,
  kItemYouTube = 2,
  kItemKick = 3,
  kItemPin = 4,
  kItemGear = 5,
  kItemBanner = 6,
  kItemMentions = 7
};

inline constexpr int kHeaderHeight = 56;
inline constexpr int kComposeHeight = 52;
inline constexpr int kBannerHeight = 30;
inline constexpr int kMinWindowWidth = 340;
inline constexpr int kMinWindowHeight = 420;
inline constexpr int kDefaultWindowWidth = 440;
inline constexpr int kDefaultWindowHeight = 760;

struct WindowLayout {
  std::array<QRect, 3> pills;  // Twitch, YouTube, Kick
  QRect mentions;
  QRect pin;
  QRect gear;
  QRect banner;  // empty when no banner is shown
  QRect compose;
  QRect chat;
  QRect targetButton;
  QRect composeEdit;
  QRect sendButton;
};

WindowLayout ComputeLayout(int width, int height, bool bannerShown);

// The item under a point: pills, then mentions, pin, gear, and the banner only while it is
// shown.
int HitTest(const WindowLayout& layout, QPoint point, bool bannerShown);

// The pill's second line for a status.
std::string StatusLine(const PlatformStatus& status);

// Tooltip of a pill (item 1..3) given the current filter.
std::string PillTooltip(int item, const PlatformStatus& status, int filter);
std::string PinTooltip(bool onTop);
inline constexpr const char* kGearTooltip = "Channels, sign-in and options";
// The mentions toggle's tooltip: what it shows, how many rows stand out now, and the way back.
std::string MentionsTooltip(bool on, int highlighted);

// The platform a filter value shows (1 Twitch, 2 YouTube, 3 Kick).
plx::PlatformId FilterPlatform(int filter);

// Rows shown for a filter: a row of the filter's platform, or an outbound row sent there.
bool ShowsRow(const plx::ChatRow& row, int filter);
std::vector<plx::ChatRow> FilterRows(const std::vector<plx::ChatRow>& rows, int filter);

struct EmptyTexts {
  std::string title;
  std::string hint;
};
EmptyTexts EmptyViewTexts(const std::array<PlatformStatus, 3>& statuses, int filter);

// The system line for a provider whose emote catalogue could not be loaded. `reason` is the
// report's: "HTTP <status>" or "unreadable answer" when the provider answered badly, else the
// transport text when nothing answered, which the line then names instead of blaming the
// provider.
std::string EmoteFailureLine(std::string_view provider, std::string_view reason);

// Where the window opens: the stored rectangle when it is at least 201 × 201 and lies on one
// of `screens`; otherwise the default size at a default position (an empty position).
struct Placement {
  QRect rect;  // position is meaningful only when `useStoredPosition`
  bool useStoredPosition{false};
};
Placement ChoosePlacement(int x, int y, int w, int h, const std::vector<QRect>& screens);

}  // namespace vlo
