#include "overlay/OverlayFeed.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "emotes/ImageCache.h"
#include "net/Http.h"

namespace vlo {

namespace {}  // namespace

FeedStyle FeedStyle::FromQuery(std::string_view query) {
  FeedStyle style;
  const std::map<std::string, std::string> params = plx::ParseQuery(query);
  if (const auto theme = params.find("theme"); theme != params.end()) {
    style.theme = &FindTheme(theme->second);
  }
  if (const auto names = params.find("names"); names != params.end()) {
    if (names->second == "softer") style.names = NameStyle::Softer;
    if (names->second == "platform") style.names = NameStyle::Platform;
  }
  return style;
}

std::string FeedStyle::Key() const {
  return std::string{theme->key} + "/" + std::to_string(static_cast<int>(names));
}

std::string EmoteKeyBook::Remember(const std::string& key) {
  std::string name = ImageCache::CacheFileName(key);
  name.resize(16);  // drop ".img"
  auto [it, added] = keys_.try_emplace(name, key);
  if (added) {
    if (order_.size() < capacity_) {
      order_.push_back(name);
    } else {
      keys_.erase(order_[next_]);
      order_[next_] = name;
      next_ = (next_ + 1) % capacity_;
    }
  }
  return "/emote/" + name;
}

const std::string* EmoteKeyBook::Find(std::string_view name) const {
  const auto it = keys_.find(std::string{name});
  return it == keys_.end() ? nullptr : &it->second;
}

bool IsOverlayRow(const plx::ChatRow& row) { return !row.deleted && !plx::HasTag(row, "system"); }

std::string RowJson(const plx::ChatRow& row, const FeedStyle& style, const RowSplitter& split,
                    EmoteKeyBook& emotes) {
  const ChatPalette& palette = style.theme->chatPalette;
  const bool alert = plx::HasTag(row, "event");
  const bool sent = plx::HasTag(row, "outbound");
  nlohmann::json out{
      {"id", row.id},
      {"platform", plx::PlatformKey(row.platform)},
      {"kind", std::string{alert  ? "alert"
                           : sent ? "sent"
                                  : "message"}},
      {"author", row.author},
      {"time", TimeText(row.timestampMs)},
      {"name", HexText(NameColor(row, palette, style.names))},
      {"body", HexText(BodyColor(row, palette, style.names))},
      {"bar", HexText(RowBarColor(row, palette))},
  };
  const Rgb background = RowBackground(row, palette, false);
  out["bg"] =
      background == palette.chatBg ? nlohmann::json(nullptr) : nlohmann::json(HexText(background));
  nlohmann::json badges = nlohmann::json::array();
  // Tinted like the window's badges: a soft fill of the colour, a stronger edge, light text.
  for (const Badge& badge : HeaderBadges(row, palette)) {
    const int fill = palette.badgeFillPercent;
    badges.push_back({{"l", badge.label},
                      {"c", HexText(mix(badge.color, background, fill))},
                      {"b", HexText(mix(badge.color, background, std::min(2 * fill + 4, 100)))},
                      {"t", HexText(mix(badge.color, palette.text, 55))}});
  }
  out["badges"] = std::move(badges);
  nlohmann::json runs = nlohmann::json::array();
  const std::vector<EmoteRun> pieces =
      split ? split(row) : std::vector<EmoteRun>{EmoteRun{.text = row.body, .imageKey = {}}};
  for (const EmoteRun& run : pieces) {
    if (!run.isEmote) {
      runs.push_back({{"t", run.text}});
      continue;
    }
    nlohmann::json emote{{"e", emotes.Remember(run.imageKey)}, {"alt", run.text}};
    if (run.overlay) emote["o"] = true;
    runs.push_back(std::move(emote));
  }
  out["runs"] = std::move(runs);
  // Replacement characters stand in for broken UTF-8 rather than failing the whole row.
  return out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string RowsJson(std::span<const plx::ChatRow* const> rows, const FeedStyle& style,
                     const RowSplitter& split, EmoteKeyBook& emotes, bool withBackground) {
  std::string json = "{";
  if (withBackground) {
    json += "\"bg\":\"" + HexText(style.theme->chatPalette.chatBg) + "\",";
  }
  json += "\"rows\":[";
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i > 0) json += ',';
    json += RowJson(*rows[i], style, split, emotes);
  }
  json += "]}";
  return json;
}

std::string SseEvent(std::string_view name, std::string_view json) {
  std::string event;
  event.reserve(name.size() + json.size() + 16);
  event.append("event: ").append(name).append("\ndata: ").append(json).append("\n\n");
  return event;
}

}  // namespace vlo
