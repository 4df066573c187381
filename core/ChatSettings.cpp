#include "core/ChatSettings.h"

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

}  // namespace

std::optional<std::string> NormaliseTwitchChannel(std::string_view text) {
  return NormaliseChannel(text, kTwitchRule);
}

std::optional<std::string> NormaliseKickChannel(std::string_view text) {
  return NormaliseChannel(text, kKickRule);
}

ChatSettings ParseChatSettings(std::string_view text) {
  ChatSettings s;
  const json::Json doc = json::ParseObject(text);

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

ChatSettings LoadChatSettings(const std::filesystem::path& dataFolder) {
  return ParseChatSettings(ReadFile(dataFolder / kChatSettingsFile));
}

std::string ChatSettingsToJson(const ChatSettings& s) {
  json::Json doc = {
      {"twitchChannel", s.twitchChannel},
      {"kickChannel", s.kickChannel},
      {"youtubeTarget", s.youtubeTarget},
      {"alwaysOnTop", s.alwaysOnTop},
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
      {"window",
       {{"x", s.windowX},
        {"y", s.windowY},
        {"w", s.windowW},
        {"h", s.windowH},
        {"maximized", s.maximized}}},
  };
  return json::Dump(doc, 2);
}

bool SaveChatSettings(const std::filesystem::path& dataFolder, const ChatSettings& settings) {
  std::error_code ec;
  std::filesystem::create_directories(dataFolder, ec);
  return WriteFileAtomically(dataFolder / kChatSettingsFile, ChatSettingsToJson(settings), 0644);
}

}  // namespace vlo
