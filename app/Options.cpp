#include "app/Options.h"

#include <cstdlib>
#include <string_view>

#include "app/TerminalAccounts.h"
#include "core/AppPaths.h"
#include "core/ChatSettings.h"
#include "core/TextRules.h"
#include "core/YouTubeTarget.h"

namespace vlo {

namespace {

bool TakeValue(std::string_view arg, std::string_view flag, std::string& value) {
  if (arg.substr(0, flag.size()) != flag) return false;
  value = arg.substr(flag.size());
  return true;
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
  ParsedOptions parsed;
  Options& o = parsed.options;
  o.profile = ParseProfile(args);
  for (size_t i = 1; i < args.size() && parsed.error.empty(); ++i) {
    const std::string_view arg = args[i];
    std::string value;
    if (TakeValue(arg, "--profile=", value)) {
      // Read by ParseProfile; an invalid profile falls back to the default one.
    } else if (TakeValue(arg, "--endpoints=", value)) {
      o.endpointsFile = value;
    } else if (TakeValue(arg, "--twitch=", value)) {
      if (auto name = NormaliseTwitchChannel(value)) {
        o.twitch = *name;
      } else {
        parsed.error = QuoteForTerminal(value) + " is not a Twitch channel name";
      }
    } else if (TakeValue(arg, "--kick=", value)) {
      if (auto name = NormaliseKickChannel(value)) {
        o.kick = *name;
      } else {
        parsed.error = QuoteForTerminal(value) + " is not a Kick channel name";
      }
    } else if (TakeValue(arg, "--youtube=", value)) {
      if (ParseYouTubeTarget(value)) {
        o.youtube = value;
      } else {
        parsed.error = QuoteForTerminal(value) + " is not a YouTube channel, handle, video or link";
      }
    } else if (TakeValue(arg, "--screenshot=", value)) {
      if (value.empty()) {
        parsed.error = "--screenshot needs a file name";
      } else {
        o.screenshot = value;
      }
    } else if (TakeValue(arg, "--screenshot-settings=", value)) {
      if (value.empty()) {
        parsed.error = "--screenshot-settings needs a file name";
      } else {
        o.screenshotSettings = value;
      }
    } else if (TakeValue(arg, "--settings-page=", value)) {
      if (value == "channels") {
        o.settingsPage = 0;
      } else if (value == "look") {
        o.settingsPage = 1;
      } else if (value == "overlay") {
        o.settingsPage = 2;
      } else if (value == "highlights") {
        o.settingsPage = 3;
      } else {
        parsed.error = "--settings-page needs channels, look, highlights or overlay";
      }
    } else if (TakeValue(arg, "--after=", value)) {
      char* end = nullptr;
      const double seconds = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || !(seconds >= 0 && seconds <= 3600)) {
        parsed.error = "--after needs a number of seconds between 0 and 3600";
      } else {
        o.screenshotAfterSeconds = seconds;
      }
    } else if (TakeValue(arg, "--demo-rate=", value)) {
      char* end = nullptr;
      const double rate = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || !(rate > 0 && rate <= 5000)) {
        parsed.error = "--demo-rate needs a number of messages per second up to 5000";
      } else {
        o.demo = true;
        o.demoRate = rate;
      }
    } else if (TakeValue(arg, "--sign-in=", value)) {
      plx::PlatformId platform{};
      if (ParseSignInPlatform(value, platform)) {
        o.signIn = platform;
      } else {
        parsed.error = "--sign-in needs twitch, youtube or kick";
      }
    } else if (TakeValue(arg, "--sign-out=", value)) {
      plx::PlatformId platform{};
      if (ParseSignInPlatform(value, platform)) {
        o.signOut = platform;
      } else {
        parsed.error = "--sign-out needs twitch, youtube or kick";
      }
    } else if (arg == "--send-stdin") {
      o.sendStdin = true;
      o.print = true;
    } else if (arg == "--overlay") {
      o.overlay = true;
    } else if (TakeValue(arg, "--overlay-port=", value)) {
      char* end = nullptr;
      const long port = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || port < 1024 || port > 65535) {
        parsed.error = "--overlay-port needs a port number from 1024 to 65535";
      } else {
        o.overlay = true;
        o.overlayPort = static_cast<int>(port);
      }
    } else if (arg == "--install-update") {
      o.installUpdate = true;
    } else if (arg == "--demo") {
      o.demo = true;
    } else if (arg == "--print") {
      o.print = true;
    } else if (arg == "--json") {
      o.json = true;
      o.print = true;
    } else if (arg == "--version") {
      o.version = true;
    } else if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else {
      parsed.ignored.emplace_back(arg);
    }
  }
  return parsed;
}

std::string UsageText() {
  return "Usage: velaro-chat [options]\n"
         "\n"
         "Reads the live chat of one Twitch channel, one Kick channel and one YouTube stream.\n"
         "\n"
         "Options:\n"
         "  --profile=NAME       use a separate profile (letters, digits, - and _, at most 32)\n"
         "  --twitch=CHANNEL     read this Twitch channel for this run\n"
         "  --kick=CHANNEL       read this Kick channel for this run\n"
         "  --youtube=TARGET     read this YouTube channel, @handle, video or link for this run\n"
         "  --print              no window: print every row and status change as it happens\n"
         "  --json               with --print, one JSON object per line\n"
         "  --send-stdin         with --print, send each line typed to every chat ready for\n"
         "                       sending; the program ends with the input\n"
         "  --overlay            with --print, serve the chat overlay for streaming software\n"
         "                       at http://127.0.0.1:<port>/overlay (port from the settings)\n"
         "  --overlay-port=PORT  the same, on this port\n"
         "  --sign-in=PLATFORM   sign in to twitch, youtube or kick from the terminal, then exit\n"
         "  --sign-out=PLATFORM  sign out of twitch, youtube or kick, then exit\n"
         "  --endpoints=FILE     take service addresses from a JSON file\n"
         "  --install-update     look for a new version at once and install it without asking;\n"
         "                       the program closes for it and opens again by itself\n"
         "  --demo               read the built-in demo channels (a simulator inside the program)\n"
         "  --demo-rate=N        with the demo, N messages per second over the three platforms\n"
         "  --screenshot=FILE    save the window as a PNG after --after=SECONDS (default 3), exit\n"
         "  --screenshot-settings=FILE  likewise the settings window, opened over the window;\n"
         "                       --settings-page=channels (default), look, highlights or\n"
         "                       overlay picks its page\n"
         "  --version            print the version and exit\n"
         "  --help               print this text and exit\n";
}

}  // namespace vlo
