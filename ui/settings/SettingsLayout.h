#pragma once

#include <QRect>
#include <array>
#include <vector>

namespace vlo {

// One platform's block on the "Channels & accounts" page.
struct PlatformRowLayout {
  QRect nameBand;
  QRect accountLine;
  QRect accountButton;
  QRect edit;
  QRect hint;
  int separatorY{};  // the one-pixel line above the row
};

// The block below the platforms on the same page: "Use my own app" with one button per
// platform and a note, in the rhythm of a platform's block.
struct OwnAppLayout {
  QRect label;
  std::array<QRect, 3> buttons;  // Twitch, YouTube, Kick
  QRect note;
  int separatorY{};
};

struct OptionRowLayout {
  QRect label;
  std::vector<QRect> buttons;
};

// The "Overlay" page: the switch, the port, the page options and the address with its copy
// button.
struct OverlayLayout {
  QRect onSwitch;
  QRect portLabel;
  QRect portEdit;
  QRect portNote;
  std::array<OptionRowLayout, 4> options;  // platforms, shows, fade, most rows
  int separatorY{};
  QRect addressLabel;
  QRect address;
  QRect copy;
  QRect note;
};

// The "Highlights" page: two columns of lists (highlight words, users and patterns on the left,
// hidden users and patterns on the right), the switches, the pause choice and a note.
struct RulesLayout {
  QRect highlightTitle;
  QRect hideTitle;
  std::array<QRect, 5> listLabels;
  std::array<QRect, 5> lists;
  QRect listNote;
  int separatorY{};
  std::array<QRect, 8> switches;  // the six of highlights, then read aloud and chat logs
  OptionRowLayout pause;
  QRect openLogs;
};

inline constexpr int kPauseChoices{4};

// Buttons per option row of the overlay page, top to bottom.
inline constexpr std::array<int, 4> kOverlayOptionCounts{3, 3, 4, 4};

// Where every element of the settings window goes. Rectangles are in the window's client area.
struct SettingsLayout {
  int clientWidth{};
  int clientHeight{};
  int separatorLeft{};
  int separatorRight{};  // exclusive
  QRect title;
  std::array<QRect, 4> pageButtons;  // channels, look, overlay, highlights
  std::array<PlatformRowLayout, 3> platforms;  // Twitch, YouTube, Kick
  OwnAppLayout ownApps;
  QRect themeLabel;
  std::vector<QRect> swatches;  // one per theme, in table order
  QRect themeLine;
  int pageSeparatorY{};                    // above the option rows
  std::array<OptionRowLayout, 4> options;  // text size, name colours, spacing, opacity
  std::array<QRect, 5> switches;           // in command order 300..304
  OverlayLayout overlay;
  RulesLayout rules;
  QRect error;
  QRect cancel;
  QRect save;
  QRect footer;
};

// Buttons per option row, top to bottom.
inline constexpr std::array<int, 4> kOptionCounts{3, 3, 2, 4};

// The layout for `themeCount` swatches at `dpi`: every position and length is worked out at 96
// DPI and then scaled on its own as the toolkit scales (units × dpi / 96).
SettingsLayout ComputeSettingsLayout(int themeCount, int dpi);

// Top-left corner for a window of `size` centred on `owner` and then moved into `workArea`; when
// it does not fit, its left and top edges stay inside.
QPoint PlaceOverOwner(const QRect& owner, const QSize& size, const QRect& workArea);

}  // namespace vlo
