#include "core/ChatSettings.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>

#include "core/AtomicFile.h"
#include "core/Json.h"
#include "core/TextRules.h"
#include "core/YouTubeTarget.h"

namespace vlo {

namespace {

struct ChannelRule {
  std::string_view sitePrefix;
  std::string_view extraChars;
  size_t maxLength;
};

constexpr ChannelRule kTwitchRule{"twitch.tv/", "_", 25};
constexpr ChannelRule kKickRule{"kick.com/", "_-", 64};

std::optional<std::string> NormaliseChannel(std::string_view text, const ChannelRule& rule) {
  text = TrimSpace(text);
  if (!ConsumePrefixNoCase(text, "https://")) ConsumePrefixNoCase(text, "http://");
  if (!ConsumePrefixNoCase(text, "www.")) ConsumePrefixNoCase(text, "m.");
  ConsumePrefixNoCase(text, rule.sitePrefix);
  while (!text.empty() && (text.front() == '@' || text.front() == '#' || text.front() == '/')) {
    text.remove_prefix(1);
  }
  std::string name = AsciiLower(text.substr(0, text.find_first_of("/?#")));
  if (name.empty()) return name;
  if (name.size() > rule.maxLength) return std::nullopt;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    rule.extraChars.find(c) != std::string_view::npos;
    if (!ok) return std::nullopt;
  }
  return name;
}

bool IsThemeName(std::string_view text) {
  if (text.empty() || text.size() > 24) return false;
  for (char c : text) {
    if (c < 'a' || c > 'z') return false;
  }
  return true;
}

void ReadBool(const json::Json& doc, std::string_view key, bool& field) {
  if (auto v = json::BoolMember(doc, key)) field = *v;
}

// Integers only (no fractions); values for which `accept` is false leave the default.
template <typename Accept>
void ReadInt(const json::Json& doc, std::string_view key, int32_t& field, Accept accept) {
  if (auto v = json::IntMember(doc, key); v && accept(*v)) field = static_cast<int32_t>(*v);
}

// A value that is not below `limit` (or negative) reads as 0.
void ReadChoice(const json::Json& doc, std::string_view key, int32_t& field, int64_t limit) {
  if (auto v = json::IntMember(doc, key))
    field = (*v >= 0 && *v < limit) ? static_cast<int32_t>(*v) : 0;
}

// Strings of an array, trimmed; other values, empty strings and repeats are skipped, and a list
// or an entry past its bound is cut there.
void ReadList(const json::Json& doc, std::string_view key, std::vector<std::string>& field) {
  constexpr size_t kMaxEntries{500};
  constexpr size_t kMaxLength{1000};
  const json::Json* list = json::Find(doc, key);
  if (!list || !list->is_array()) return;
  for (const json::Json& entry : *list) {
    if (field.size() >= kMaxEntries) break;
    if (!entry.is_string()) continue;
    const std::string_view text = TrimSpace(entry.get_ref<const std::string&>());
    if (text.empty() || text.size() > kMaxLength) continue;
    if (std::find(field.begin(), field.end(), text) == field.end()) field.emplace_back(text);
  }
}

auto InRange(int64_t lo, int64_t hi) {
  return [lo, hi](int64_t v) { return v >= lo && v <= hi; };
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in{path, std::ios::binary};
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A settings file that holds something but no settings at all (cut short, garbage, not a JSON
// object). `doc` is `text` parsed.
bool IsUnreadable(std::string_view text, const json::Json& doc) {
  return !text.empty() && !doc.is_object();
}

// The first free name for a copy of an unreadable file.
std::filesystem::path UnreadableCopy(const std::filesystem::path& dataFolder) {
  const std::string base = std::string{kChatSettingsFile} + ".unreadable";
  std::filesystem::path path = dataFolder / base;
  std::error_code ec;
  for (int n = 2; std::filesystem::exists(path, ec) && n < 1000; ++n) {
    path = dataFolder / (base + "-" + std::to_string(n));
  }
  return path;
}

// Keys of `old` (and of its "window" object) that `doc` lacks, copied in.
void KeepUnknownKeys(const json::Json& old, json::Json& doc) {
  for (const auto& [key, value] : old.items()) {
    if (!doc.contains(key)) doc[key] = value;
  }
  const json::Json* oldWindow = json::Find(old, "window");
  if (!oldWindow || !oldWindow->is_object()) return;
  for (const auto& [key, value] : oldWindow->items()) {
    if (!doc["window"].contains(key)) doc["window"][key] = value;
  }
}

}  // namespace

std::optional<std::string> NormaliseTwitchChannel(std::string_view text) {
  return NormaliseChannel(text, kTwitchRule);
}

std::optional<std::string> NormaliseKickChannel(std::string_view text) {
  return NormaliseChannel(text, kKickRule);
}

namespace {

// The settings a parsed document holds; anything but an object holds none.
ChatSettings FromDocument(const json::Json& doc) {
  ChatSettings s;

  if (auto v = json::Find(doc, "twitchChannel"); v && v->is_string()) {
    s.twitchChannel = NormaliseTwitchChannel(v->get_ref<const std::string&>()).value_or("");
  }
  if (auto v = json::Find(doc, "kickChannel"); v && v->is_string()) {
    s.kickChannel = NormaliseKickChannel(v->get_ref<const std::string&>()).value_or("");
  }
  if (auto v = json::Find(doc, "youtubeTarget"); v && v->is_string()) {
    const auto& target = v->get_ref<const std::string&>();
    if (ParseYouTubeTarget(target)) s.youtubeTarget = target;
  }
  ReadBool(doc, "alwaysOnTop", s.alwaysOnTop);
  ReadBool(doc, "showTimestamps", s.showTimestamps);
  ReadBool(doc, "showAlerts", s.showAlerts);
  ReadBool(doc, "animateEmotes", s.animateEmotes);
  ReadBool(doc, "thirdPartyEmotes", s.thirdPartyEmotes);
  ReadBool(doc, "compact", s.compact);
  ReadInt(doc, "textSize", s.textSize, InRange(0, 2));
  if (auto v = json::Find(doc, "theme");
      v && v->is_string() && IsThemeName(v->get_ref<const std::string&>())) {
    s.theme = v->get<std::string>();
  }
  ReadChoice(doc, "nameStyle", s.nameStyle, 3);
  ReadChoice(doc, "sendTarget", s.sendTarget, 4);
  ReadChoice(doc, "filter", s.filter, 4);
  ReadInt(doc, "ownAppRedirectPort", s.ownAppRedirectPort, InRange(1024, 65535));
  ReadBool(doc, "overlayEnabled", s.overlayEnabled);
  ReadInt(doc, "overlayPort", s.overlayPort, InRange(1024, 65535));
  ReadInt(doc, "overlayPlatforms", s.overlayPlatforms, InRange(1, 7));
  ReadChoice(doc, "overlayShow", s.overlayShow, 3);
  ReadInt(doc, "overlayFadeSeconds", s.overlayFadeSeconds,
          [](int64_t v) { return v == 0 || v == 30 || v == 60 || v == 120; });
  ReadInt(doc, "overlayMaxRows", s.overlayMaxRows,
          [](int64_t v) { return v == 10 || v == 20 || v == 50 || v == 100; });
  ReadList(doc, "highlightWords", s.highlightWords);
  ReadList(doc, "highlightPatterns", s.highlightPatterns);
  ReadList(doc, "highlightUsers", s.highlightUsers);
  ReadBool(doc, "highlightFirstMessages", s.highlightFirstMessages);
  ReadList(doc, "ignoreUsers", s.ignoreUsers);
  ReadList(doc, "ignorePatterns", s.ignorePatterns);
  ReadBool(doc, "hideCommandsAndBots", s.hideCommandsAndBots);
  ReadBool(doc, "notifyDesktop", s.notifyDesktop);
  ReadBool(doc, "notifySound", s.notifySound);
  ReadBool(doc, "soundEveryMessage", s.soundEveryMessage);
  ReadBool(doc, "pauseOnHover", s.pauseOnHover);
  ReadInt(doc, "pauseSeconds", s.pauseSeconds,
          [](int64_t v) { return v == 0 || v == 2 || v == 5 || v == 10; });
  ReadBool(doc, "chatLogs", s.chatLogs);
  ReadBool(doc, "readAloud", s.readAloud);
  if (auto v = json::IntMember(doc, "opacity")) {
    s.opacity = (*v == 70 || *v == 80 || *v == 90) ? static_cast<int32_t>(*v) : 100;
  }
  if (auto window = json::Find(doc, "window"); window && window->is_object()) {
    ReadInt(*window, "x", s.windowX, InRange(-32000, 32000));
    ReadInt(*window, "y", s.windowY, InRange(-32000, 32000));
    ReadInt(*window, "w", s.windowW, InRange(0, 20000));
    ReadInt(*window, "h", s.windowH, InRange(0, 20000));
    ReadBool(*window, "maximized", s.maximized);
  }
  return s;
}

}  // namespace

ChatSettings ParseChatSettings(std::string_view text) {
  return FromDocument(json::ParseObject(text));
}

ChatSettings LoadChatSettings(const std::filesystem::path& dataFolder,
                              std::optional<std::string>* problem) {
  const std::string text = ReadFile(dataFolder / kChatSettingsFile);
  const json::Json doc = json::ParseAny(text);
  if (problem) {
    problem->reset();
    if (IsUnreadable(text, doc)) {
      *problem = "The settings file " + std::string{kChatSettingsFile} +
                 " could not be read, so the defaults are in use; it is kept beside it as " +
                 UnreadableCopy(dataFolder).filename().string() + ".";
    }
  }
  return FromDocument(doc);
}

std::optional<std::string> ChatSettingsProblem(const std::filesystem::path& dataFolder) {
  std::optional<std::string> problem;
  LoadChatSettings(dataFolder, &problem);
  return problem;
}

namespace {

json::Json SettingsDocument(const ChatSettings& s) {
  return {
      {"twitchChannel", s.twitchChannel},
      {"kickChannel", s.kickChannel},
      {"youtubeTarget", s.youtubeTarget},
      {"alwaysOnTop", s.alwaysOnTop},
      {"chatLogs", s.chatLogs},
      {"readAloud", s.readAloud},
      {"showTimestamps", s.showTimestamps},
      {"showAlerts", s.showAlerts},
      {"animateEmotes", s.animateEmotes},
      {"thirdPartyEmotes", s.thirdPartyEmotes},
      {"textSize", s.textSize},
      {"theme", s.theme},
      {"nameStyle", s.nameStyle},
      {"compact", s.compact},
      {"opacity", s.opacity},
      {"sendTarget", s.sendTarget},
      {"filter", s.filter},
      {"ownAppRedirectPort", s.ownAppRedirectPort},
      {"overlayEnabled", s.overlayEnabled},
      {"overlayFadeSeconds", s.overlayFadeSeconds},
      {"overlayMaxRows", s.overlayMaxRows},
      {"overlayPlatforms", s.overlayPlatforms},
      {"overlayPort", s.overlayPort},
      {"overlayShow", s.overlayShow},
      {"highlightWords", s.highlightWords},
      {"highlightPatterns", s.highlightPatterns},
      {"highlightUsers", s.highlightUsers},
      {"highlightFirstMessages", s.highlightFirstMessages},
      {"ignoreUsers", s.ignoreUsers},
      {"ignorePatterns", s.ignorePatterns},
      {"hideCommandsAndBots", s.hideCommandsAndBots},
      {"notifyDesktop", s.notifyDesktop},
      {"notifySound", s.notifySound},
      {"soundEveryMessage", s.soundEveryMessage},
      {"pauseOnHover", s.pauseOnHover},
      {"pauseSeconds", s.pauseSeconds},
      {"window",
       {{"x", s.windowX},
        {"y", s.windowY},
        {"w", s.windowW},
        {"h", s.windowH},
        {"maximized", s.maximized}}},
  };
}

}  // namespace

std::string ChatSettingsToJson(const ChatSettings& s) { return json::Dump(SettingsDocument(s), 2); }

bool SaveChatSettings(const std::filesystem::path& dataFolder, const ChatSettings& settings) {
  std::error_code ec;
  std::filesystem::create_directories(dataFolder, ec);
  const std::filesystem::path path = dataFolder / kChatSettingsFile;
  json::Json doc = SettingsDocument(settings);
  const std::string oldText = ReadFile(path);
  const json::Json old = json::ParseAny(oldText);
  if (IsUnreadable(oldText, old)) {
    // Not overwritten before a copy is safe: a failed move leaves it, and this save, alone.
    std::filesystem::rename(path, UnreadableCopy(dataFolder), ec);
    if (ec) return false;
  } else if (old.is_object()) {
    KeepUnknownKeys(old, doc);
  }
  return WriteFileAtomically(path, json::Dump(doc, 2), 0644);
}

}  // namespace vlo
