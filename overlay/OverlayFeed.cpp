#include "overlay/OverlayFeed.h"

#include <algorithm>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "emotes/ImageCache.h"
#include "net/Http.h"

namespace vlo {

namespace {

std::string HexColor(Rgb c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(ToHex(c)));
  return text;
}

// Calls `visit(name, value)` for each "name=value" pair of a query, both decoded.
template <typename Visit>
void ForEachParam(std::string_view query, Visit&& visit) {
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
    const size_t eq = pair.find('=');
    if (eq == std::string_view::npos) continue;
    visit(plx::PercentDecodeQuery(pair.substr(0, eq)), plx::PercentDecodeQuery(pair.substr(eq + 1)));
  }
}

}  // namespace

FeedStyle FeedStyle::FromQuery(std::string_view query) {
  FeedStyle style;
  ForEachParam(query, [&](const std::string& name, const std::string& value) {
    if (name == "theme") {
      style.theme = &FindTheme(value);
    } else if (name == "names") {
      if (value == "viewer") style.names = NameStyle::Viewer;
      if (value == "softer") style.names = NameStyle::Softer;
      if (value == "platform") style.names = NameStyle::Platform;
    }
  });
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
      {"kind", std::string{alert ? "alert" : sent ? "sent" : "message"}},
      {"author", row.author},
      {"time", TimeText(row.timestampMs)},
      {"name", HexColor(NameColor(row, palette, style.names))},
      {"body", HexColor(BodyColor(row, palette, style.names))},
      {"bar", HexColor(RowBarColor(row, palette))},
  };
  const Rgb background = RowBackground(row, palette, false);
  out["bg"] = background == palette.chatBg ? nlohmann::json(nullptr) : nlohmann::json(HexColor(background));
  nlohmann::json badges = nlohmann::json::array();
  // Tinted like the window's badges: a soft fill of the colour, a stronger edge, light text.
  for (const Badge& badge : HeaderBadges(row, palette)) {
    const int fill = palette.badgeFillPercent;
    badges.push_back({{"l", badge.label},
                      {"c", HexColor(mix(badge.color, background, fill))},
                      {"b", HexColor(mix(badge.color, background, std::min(2 * fill + 4, 100)))},
                      {"t", HexColor(mix(badge.color, palette.text, 55))}});
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

RowTracker::Changes RowTracker::Update(const std::vector<plx::ChatRow>& snapshot) {
  Changes changes;
  std::unordered_map<std::string, bool> next;
  next.reserve(snapshot.size());
  for (const plx::ChatRow& row : snapshot) {
    if (plx::HasTag(row, "system")) continue;
    const auto before = shown_.find(row.id);
    if (before == shown_.end()) {
      if (!row.deleted) changes.added.push_back(&row);
    } else if (!before->second && row.deleted) {
      changes.removed.push_back(row.id);
    }
    next.emplace(row.id, row.deleted);
  }
  shown_ = std::move(next);
  return changes;
}

std::string SseEvent(std::string_view name, std::string_view json) {
  std::string event;
  event.reserve(name.size() + json.size() + 16);
  event.append("event: ").append(name).append("\ndata: ").append(json).append("\n\n");
  return event;
}

}  // namespace vlo
