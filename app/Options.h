#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/Platform.h"

namespace vlo {

// The command line of velaro-chat.
struct Options {
  std::string profile;
  std::optional<std::string> endpointsFile;
  std::optional<std::string> twitch;  // overrides for this run, normalised
  std::optional<std::string> kick;
  std::optional<std::string> youtube;
  std::optional<std::string> screenshot;  // render the window to this PNG and exit
  double screenshotAfterSeconds{3.0};
  // Render the settings window, opened over the main window, to this PNG and exit.
  std::optional<std::string> screenshotSettings;
  int settingsPage{0};  // 0 "Channels & accounts", 1 "Look & feel", 2 "Overlay"
  bool print{false};
  bool demo{false};
  double demoRate{0};  // messages per second over all platforms; 0 = the demo's own pace
  bool json{false};
  std::optional<plx::PlatformId> signIn;   // sign in from the terminal and exit
  std::optional<plx::PlatformId> signOut;  // sign out and exit
  bool sendStdin{false};                   // with --print, send every line read from stdin
  bool overlay{false};                     // with --print, serve the overlay for this run
  std::optional<int> overlayPort;          // instead of the stored port, for this run
  bool installUpdate{false};  // check for an update at once and install it without asking
  bool version{false};
  bool help{false};

  // A run that renders a picture and exits: no instance lock, nothing saved.
  bool ScreenshotRun() const { return screenshot.has_value() || screenshotSettings.has_value(); }
};

struct ParsedOptions {
  Options options;
  std::string error;  // non-empty when the command line cannot be used
  // Arguments this program does not know, left alone (they may be the toolkit's own, such as
  // "-platform xcb", or a launcher's).
  std::vector<std::string> ignored;
};

ParsedOptions ParseOptions(const std::vector<std::string>& args);

std::string UsageText();

}  // namespace vlo
