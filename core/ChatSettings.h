#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vlo {

// Everything the user chooses for the chat window, kept in "chat.json" in the data folder.
struct ChatSettings {
  std::string twitchChannel;
  std::string kickChannel;
  std::string youtubeTarget;
  bool alwaysOnTop{false};
  bool showTimestamps{true};
  bool showAlerts{true};
  bool animateEmotes{true};
  bool thirdPartyEmotes{true};
  int32_t textSize{1};  // 0 small, 1 normal, 2 large
  std::string theme{"neon"};
  int32_t nameStyle{0};  // 0..2
  bool compact{false};
  int32_t opacity{100};   // 70, 80, 90 or 100
  int32_t sendTarget{0};  // 0 all signed-in chats, 1 Twitch, 2 YouTube, 3 Kick
  int32_t filter{0};      // 0 all, 1 Twitch, 2 YouTube, 3 Kick
  int32_t windowX{0};
  int32_t windowY{0};
  int32_t windowW{0};  // 0 = no placement stored
  int32_t windowH{0};
  bool maximized{false};
  // The loopback port the user registered with their own YouTube and Kick apps as
  // "http://127.0.0.1:<port>/callback"; 1024..65535.
  int32_t ownAppRedirectPort{17823};
  // The page server for streaming software on 127.0.0.1:<overlayPort>; 1024..65535.
  bool overlayEnabled{false};
  int32_t overlayPort{17830};
  // The page options of the overlay's address.
  int32_t overlayPlatforms{7};    // bits: 1 Twitch, 2 YouTube, 4 Kick; never 0
  int32_t overlayShow{0};         // 0 chat and alerts, 1 chat only, 2 alerts only
  int32_t overlayFadeSeconds{0};  // 0 (rows stay), 30, 60 or 120
  int32_t overlayMaxRows{20};     // 10, 20, 50 or 100
  // Highlights: whole words, regular expressions (any case) and user rules ("name" for every
  // platform, "twitch:name" for one); mentions of the signed-in accounts are always highlighted.
  std::vector<std::string> highlightWords;
  std::vector<std::string> highlightPatterns;
  std::vector<std::string> highlightUsers;
  bool highlightFirstMessages{true};
  // Filters: rows of these users or matching these patterns are hidden, never deleted.
  std::vector<std::string> ignoreUsers;
  std::vector<std::string> ignorePatterns;
  bool hideCommandsAndBots{false};  // "!" commands and well-known bots
  // While the window is not active: a desktop notification and a sound for highlights, or a
  // sound for every message.
  bool notifyDesktop{true};
  bool notifySound{false};
  bool soundEveryMessage{false};
  // New rows wait while the pointer rests over the chat at the bottom, for at most
  // pauseSeconds after it last moved (0: until it leaves).
  bool pauseOnHover{true};
  int32_t pauseSeconds{5};  // 0, 2, 5 or 10
  // One plain-text file per day and channel in the "logs" folder of the data folder.
  bool chatLogs{false};
  // New rows are offered to screen readers as they arrive.
  bool readAloud{false};

  bool operator==(const ChatSettings&) const = default;
};

inline constexpr std::string_view kChatSettingsFile = "chat.json";

// Never fails: missing, malformed or out-of-range values take their defaults. With `problem`, it
// is also told what ChatSettingsProblem would say, from the same read.
ChatSettings LoadChatSettings(const std::filesystem::path& dataFolder,
                              std::optional<std::string>* problem = nullptr);
// When "chat.json" exists but is no settings file at all (cut short, garbage, not a JSON
// object), so that loading gave the defaults: the sentence to tell the user once, naming the
// copy the next save keeps it as. Nothing otherwise.
std::optional<std::string> ChatSettingsProblem(const std::filesystem::path& dataFolder);
// Parses the text of a settings file with the same lenient rules.
ChatSettings ParseChatSettings(std::string_view text);
// The file text: every key, sorted, indented by 2.
std::string ChatSettingsToJson(const ChatSettings& settings);
// Best effort: writes a temporary file, flushes it to disk and renames it over "chat.json", so
// the old file survives any failure or interruption. Returns false when nothing was replaced.
// Keys of the old file that this version does not know are written back unchanged (a newer
// version's settings survive a run of an older one), and an old file that is no settings file
// at all is first moved aside to "chat.json.unreadable" (or ".unreadable-2" … when taken), so
// that nothing the user had is lost without a copy.
bool SaveChatSettings(const std::filesystem::path& dataFolder, const ChatSettings& settings);

// Channel names from what the user typed (a name or a channel link). Absent = invalid; an empty
// name is valid and means "none".
std::optional<std::string> NormaliseTwitchChannel(std::string_view text);
std::optional<std::string> NormaliseKickChannel(std::string_view text);

}  // namespace vlo
