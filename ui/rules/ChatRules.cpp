#include "ui/rules/ChatRules.h"

#include <re2/re2.h>
#include <re2/set.h>

#include <QString>
#include <algorithm>
#include <array>

#include "core/TextRules.h"

namespace vlo {

namespace {

// A name or word stands alone when neither side touches a letter, digit or underscore (in any
// script). '@' before a name belongs to the mention, not to an e-mail address.
constexpr std::string_view kBefore{R"((?:^|[^\pL\pN_@]))"};
constexpr std::string_view kAfter{R"((?:$|[^\pL\pN_]))"};
constexpr size_t kMaxPatternLength{1000};
constexpr int64_t kMaxProgramMemory{8 << 20};

re2::RE2::Options PatternOptions() {
  re2::RE2::Options options;
  options.set_case_sensitive(false);
  options.set_log_errors(false);
  options.set_max_mem(kMaxProgramMemory);
  return options;
}

// One expression for a list of literal words, each matched as a whole word; none without words.
std::unique_ptr<re2::RE2> WholeWords(const std::vector<std::string>& words, bool allowAt) {
  std::string alternatives;
  for (const std::string& word : words) {
    const std::string_view trimmed{TrimSpace(word)};
    if (trimmed.empty()) continue;
    if (!alternatives.empty()) alternatives += '|';
    alternatives += re2::RE2::QuoteMeta(trimmed);
  }
  if (alternatives.empty()) return nullptr;
  const std::string text{std::string{kBefore} + (allowAt ? "@?" : "") + "(?:" + alternatives + ")" +
                         std::string{kAfter}};
  auto expression{std::make_unique<re2::RE2>(text, PatternOptions())};
  return expression->ok() ? std::move(expression) : nullptr;
}

// A set of the usable patterns; none when no pattern is usable.
std::unique_ptr<re2::RE2::Set> PatternSet(const std::vector<std::string>& patterns) {
  auto set{std::make_unique<re2::RE2::Set>(PatternOptions(), re2::RE2::UNANCHORED)};
  int added{0};
  for (const std::string& pattern : patterns) {
    if (PatternProblem(pattern)) continue;
    if (set->Add(pattern, nullptr) >= 0) ++added;
  }
  if (added == 0 || !set->Compile()) return nullptr;
  return set;
}

bool Matches(const re2::RE2::Set* set, std::string_view text) {
  return set && set->Match(text, nullptr);
}

bool Matches(const re2::RE2* expression, std::string_view text) {
  return expression && re2::RE2::PartialMatch(text, *expression);
}

size_t Slot(plx::PlatformId platform) {
  switch (platform) {
    case plx::PlatformId::YouTube:
      return 1;
    case plx::PlatformId::Kick:
      return 2;
    default:
      return 0;
  }
}

// "slot:folded name", or "*:folded name" for every platform.
std::string UserKey(std::optional<plx::PlatformId> platform, std::string_view name) {
  return (platform ? std::to_string(Slot(*platform)) : std::string{"*"}) + ":" + FoldName(name);
}

std::unordered_set<std::string> UserKeys(const std::vector<std::string>& rules) {
  std::unordered_set<std::string> keys;
  for (const std::string& text : rules) {
    if (std::optional<UserRule> rule{ParseUserRule(text)}) {
      keys.insert(UserKey(rule->platform, rule->name));
    }
  }
  return keys;
}

bool HasUser(const std::unordered_set<std::string>& keys, const plx::ChatMessage& message) {
  if (keys.empty()) return false;
  return keys.contains(UserKey(message.platform, message.author)) ||
         keys.contains(UserKey(std::nullopt, message.author));
}

}  // namespace

struct ChatRules::Compiled {
  std::array<std::unique_ptr<re2::RE2>, 3> mentions;  // per platform slot
  std::array<std::unordered_set<std::string>, 3> ownNames;
  std::unique_ptr<re2::RE2> words;
  std::unique_ptr<re2::RE2::Set> patterns;
  std::unique_ptr<re2::RE2::Set> ignorePatterns;
  std::unordered_set<std::string> highlightUsers;
  std::unordered_set<std::string> ignoreUsers;
  bool firstMessages{true};
  bool hideCommandsAndBots{false};
};

ChatRules::ChatRules() : ChatRules{ChatSettings{}, {}} {}

ChatRules::ChatRules(const ChatSettings& settings, std::vector<Identity> identities) {
  auto compiled{std::make_unique<Compiled>()};
  std::array<std::vector<std::string>, 3> names;
  for (const Identity& identity : identities) {
    for (const std::string* name : {&identity.login, &identity.displayName}) {
      if (TrimSpace(*name).empty()) continue;
      names[Slot(identity.platform)].push_back(*name);
      compiled->ownNames[Slot(identity.platform)].insert(FoldName(*name));
    }
  }
  for (size_t slot{0}; slot < names.size(); ++slot) {
    compiled->mentions[slot] = WholeWords(names[slot], true);
  }
  compiled->words = WholeWords(settings.highlightWords, false);
  compiled->patterns = PatternSet(settings.highlightPatterns);
  compiled->ignorePatterns = PatternSet(settings.ignorePatterns);
  compiled->highlightUsers = UserKeys(settings.highlightUsers);
  compiled->ignoreUsers = UserKeys(settings.ignoreUsers);
  compiled->firstMessages = settings.highlightFirstMessages;
  compiled->hideCommandsAndBots = settings.hideCommandsAndBots;
  compiled_ = std::move(compiled);
}

ChatRules::~ChatRules() = default;
ChatRules::ChatRules(ChatRules&&) noexcept = default;
ChatRules& ChatRules::operator=(ChatRules&&) noexcept = default;

RowMark ChatRules::Mark(const plx::ChatMessage& message) const {
  RowMark mark;
  if (!plx::IsViewerMessage(message)) return mark;
  const Compiled& c{*compiled_};
  const std::string_view body{message.body};
  if (HasUser(c.ignoreUsers, message) || Matches(c.ignorePatterns.get(), body) ||
      (c.hideCommandsAndBots && (TrimSpace(body).starts_with('!') || IsKnownBot(message.author)))) {
    mark.hidden = true;
  }
  mark.first = c.firstMessages && plx::HasTag(message, "first");
  const size_t slot{Slot(message.platform)};
  const bool own{c.ownNames[slot].contains(FoldName(message.author))};
  if (!own && Matches(c.mentions[slot].get(), body)) {
    mark.highlight = Highlight::Mention;
  } else if (Matches(c.words.get(), body) || Matches(c.patterns.get(), body)) {
    mark.highlight = Highlight::Word;
  } else if (HasUser(c.highlightUsers, message)) {
    mark.highlight = Highlight::User;
  }
  return mark;
}

std::optional<std::string> PatternProblem(std::string_view pattern) {
  const std::string quoted{"The pattern \"" + std::string{pattern.substr(0, 60)} +
                           (pattern.size() > 60 ? "…" : "") + "\""};
  if (TrimSpace(pattern).empty()) return quoted + " is empty.";
  if (pattern.size() > kMaxPatternLength) {
    return quoted + " is too long (at most " + std::to_string(kMaxPatternLength) + " characters).";
  }
  const re2::RE2 expression{pattern, PatternOptions()};
  if (!expression.ok()) return quoted + " cannot be used: " + expression.error() + ".";
  return std::nullopt;
}

std::string FoldName(std::string_view name) {
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
      .trimmed()
      .toCaseFolded()
      .toStdString();
}

std::optional<UserRule> ParseUserRule(std::string_view text) {
  text = TrimSpace(text);
  UserRule rule;
  static constexpr std::array<std::pair<std::string_view, plx::PlatformId>, 3> kPrefixes{{
      {"twitch:", plx::PlatformId::Twitch},
      {"youtube:", plx::PlatformId::YouTube},
      {"kick:", plx::PlatformId::Kick},
  }};
  for (const auto& [prefix, platform] : kPrefixes) {
    if (ConsumePrefixNoCase(text, prefix)) {
      rule.platform = platform;
      break;
    }
  }
  text = TrimSpace(text);
  if (!text.empty() && text.front() == '@') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  rule.name = std::string{text};
  return rule;
}

std::string UserRuleFor(plx::PlatformId platform, std::string_view name) {
  return plx::PlatformKey(platform) + ":" + std::string{name};
}

bool IsKnownBot(std::string_view author) {
  static const std::unordered_set<std::string> kBots{
      "nightbot", "streamelements", "streamlabs", "moobot",        "fossabot",
      "wizebot",  "botrix",         "sery_bot",   "kofistreambot", "soundalerts",
      "botisimo", "deepbot",        "coebot",     "phantombot",    "kickbot"};
  return kBots.contains(AsciiLower(TrimSpace(author)));
}

}  // namespace vlo
