#pragma once

// The update banner's rules as plain functions: its state, texts and colour, and the texts of
// the update prompt.

#include <string>
#include <string_view>

#include "ui/themes/Color.h"

namespace vlo {

// None: nothing known. Available: a newer release is stored and the banner shows. Installing: a
// download or install is under way (the banner stays, dimmed).
enum class UpdateState { None, Available, Installing };

inline constexpr int kFirstUpdateCheckMs = 8000;
inline constexpr int kUpdateCheckIntervalMs = 21600000;  // six hours

// "Version 1.1.4 is available  ·  Click to update", or while installing "Updating to 1.1.4… the
// chat reopens by itself".
std::string BannerText(UpdateState state, std::string_view version);
// "Version 1.1.4 is available. Click to update."
std::string BannerTooltip(std::string_view version);
// The banner's fill: the readable chat accent; dimmed towards `surface` while installing,
// lightened while the pointer is over it.
Rgb BannerColor(UpdateState state, bool hot, Rgb chatAccent, Rgb surface);

// The question asked before an update, and the warning after one that did not start.
std::string UpdateQuestion(std::string_view version);
std::string UpdateFailedText(std::string_view error);

}  // namespace vlo
