#pragma once

// What the overlay page is sent: the rows the chat holds turned into JSON in a theme's colours,
// and server-sent events. Pure; used on the overlay server's thread (which follows the hub's
// changes with core/RowTracker.h).

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/ChatMessage.h"
#include "emotes/EmoteTypes.h"
#include "ui/themes/RowStyle.h"
#include "ui/themes/Theme.h"

namespace vlo {

// Splits a row into text and emote runs (the window's splitter with its catalogues).
using RowSplitter = std::function<std::vector<EmoteRun>(const plx::ChatMessage& message)>;

// The colours one stream of rows is drawn in, from the stream's query.
struct FeedStyle {
  const Theme* theme{&FindTheme("")};
  NameStyle names{NameStyle::Viewer};

  // "theme=<key>&names=viewer|softer|platform"; unknown values keep the defaults.
  static FeedStyle FromQuery(std::string_view query);
  // A key that is equal for equal styles.
  std::string Key() const;
};

// The emote images a page may ask for: "/emote/<16 hex digits>" names the image cache file of
// one emote key that was sent in a row. Only keys handed out here are served; the oldest are
// forgotten past `capacity`.
class EmoteKeyBook {
 public:
  explicit EmoteKeyBook(size_t capacity = 8192) : capacity_{capacity} {}
  // The page address of `key`, remembered.
  std::string Remember(const std::string& key);
  // The emote key behind the 16 hex digits, when it was handed out.
  const std::string* Find(std::string_view name) const;

 private:
  size_t capacity_;
  std::unordered_map<std::string, std::string> keys_;  // 16 hex digits → key
  std::vector<std::string> order_;                     // names, oldest first (ring)
  size_t next_{0};
};

// Rows the overlay shows: viewer messages, alerts and the user's own sent messages; not the
// program's own status lines, and not deleted rows.
bool IsOverlayRow(const plx::ChatRow& row);

// One row as a JSON object: id, platform, kind ("message", "alert" or "sent"), author, time
// ("HH:MM", local), name/body/bar colours and the background tint ("#rrggbb", the tint null when
// the row has none), badges ({"l": label, "c": fill, "b": edge, "t": text colour}), and runs: {"t":
// text} or {"e": image address, "alt": code, "o": true for a zero-width overlay}.
std::string RowJson(const plx::ChatRow& row, const FeedStyle& style, const RowSplitter& split,
                    EmoteKeyBook& emotes);

// {"rows": [RowJson …]}, with "bg" first (the theme's chat background) when `withBackground`.
std::string RowsJson(std::span<const plx::ChatRow* const> rows, const FeedStyle& style,
                     const RowSplitter& split, EmoteKeyBook& emotes, bool withBackground);

// One server-sent event: "event: <name>\ndata: <json>\n\n".
std::string SseEvent(std::string_view name, std::string_view json);

}  // namespace vlo
