#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/ChatMessage.h"
#include "core/ChatSettings.h"

namespace re2 {
class RE2;
}

namespace vlo {

// A signed-in account, whose names in a message make it a mention.
struct Identity {
  plx::PlatformId platform{plx::PlatformId::Twitch};
  std::string login;
  std::string displayName;
};

// Why a row stands out; the order is the order of precedence.
enum class Highlight : uint8_t { None = 0, Mention = 1, Word = 2, User = 3 };

// What the user's rules make of one row.
struct RowMark {
  Highlight highlight{Highlight::None};
  bool first{false};   // the author's first message in the channel, tinted when wanted
  bool hidden{false};  // an ignore rule, or the commands-and-bots switch, hides the row

  bool operator==(const RowMark&) const = default;
};

// The highlight and ignore rules of the settings, compiled once. Patterns run on an engine with
// linear-time matching, so no pattern or message can stall the window. Rules that cannot be used
// (a pattern that does not compile) are skipped here; the settings window refuses them on save.
// Immutable after construction; any thread.
class ChatRules {
 public:
  ChatRules();
  ChatRules(const ChatSettings& settings, std::vector<Identity> identities);
  ~ChatRules();
  ChatRules(ChatRules&&) noexcept;
  ChatRules& operator=(ChatRules&&) noexcept;

  // Only viewer messages are marked; system lines, alerts and the user's own sends never are.
  RowMark Mark(const plx::ChatMessage& message) const;

 private:
  struct Compiled;
  std::unique_ptr<const Compiled> compiled_;
};

// The sentence that says why `pattern` cannot be used as a highlight or ignore pattern, or
// nothing when it can.
std::optional<std::string> PatternProblem(std::string_view pattern);

// Names compared without regard to case in any script (Unicode case folding).
std::string FoldName(std::string_view name);

// A user rule: "name" for every platform, or "twitch:name", "youtube:name", "kick:name".
struct UserRule {
  std::optional<plx::PlatformId> platform;
  std::string name;  // as typed, trimmed
};
std::optional<UserRule> ParseUserRule(std::string_view text);
// The rule that "Ignore user" in the row menu adds for a row's author.
std::string UserRuleFor(plx::PlatformId platform, std::string_view name);

// Bots that post on many channels, hidden with commands by the settings' switch.
bool IsKnownBot(std::string_view author);

}  // namespace vlo
