// One WebSocket message from the chat service, handled line by line as the reader does.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "alerts/AlertDecoders.h"
#include "readers/twitch/IrcMessage.h"
#include "readers/twitch/TwitchLine.h"
#include "readers/twitch/TwitchParsers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view frame{reinterpret_cast<const char*>(data), size};
  vlo::IrcMessage scratch;
  vlo::IrcMessage lineScratch;
  while (!frame.empty()) {
    const size_t end = frame.find('\n');
    const std::string_view line = frame.substr(0, end);
    frame = end == std::string_view::npos ? std::string_view{} : frame.substr(end + 1);

    const auto alert = vlo::DecodeTwitchAlert(line, 1);
    if (line.ends_with('\r') &&
        vlo::DecodeTwitchAlert(line.substr(0, line.size() - 1), 1) != alert) {
      std::abort();  // the line ending never reaches an alert
    }
    const bool parsed = vlo::ParseIrcLine(line, scratch);
    auto fresh = vlo::ParseIrcLine(line);
    if (parsed != fresh.has_value() || (parsed && !(*fresh == scratch))) std::abort();
    const auto result = vlo::ReadTwitchLine(line, 1, lineScratch);
    if (!parsed) {
      if (result.row || result.removal || result.action != vlo::TwitchLineAction::None)
        std::abort();
      continue;
    }
    if (result.row != vlo::ParseTwitchPrivmsg(scratch, 1) &&
        result.row != vlo::ParseTwitchAnnouncement(scratch, 1)) {
      std::abort();  // the per-line work builds the same row
    }
    std::optional<vlo::IrcMessage> moved = std::move(*fresh);  // a copy of the line moves along
    const vlo::IrcMessage copy = *moved;
    if (!(*moved == scratch) || !(copy == scratch)) std::abort();
    for (size_t i = 0; i < scratch.TagCount(); ++i) {
      for (size_t j = i + 1; j < scratch.TagCount(); ++j) {
        if (scratch.TagAt(i).key == scratch.TagAt(j).key) std::abort();  // keys are unique
      }
    }
    auto row = vlo::ParseTwitchPrivmsg(scratch, 1);
    if (row && row->body.empty()) std::abort();
    auto announcement = vlo::ParseTwitchAnnouncement(scratch, 1);
    auto removal = vlo::ParseTwitchClear(scratch);
    (void)announcement;
    (void)removal;
  }
  return 0;
}
