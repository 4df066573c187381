#include <gtest/gtest.h>

#include "ui/rules/ChatRules.h"

namespace vlo {
namespace {

using plx::PlatformId;

plx::ChatMessage Message(PlatformId platform, std::string author, std::string body,
                         std::vector<std::string> tags = {}) {
  plx::ChatMessage m;
  m.id = "m";
  m.platform = platform;
  m.author = std::move(author);
  m.body = std::move(body);
  m.tags = std::move(tags);
  return m;
}

const std::vector<Identity> kMe{
    {PlatformId::Twitch, "velaro_mod", "Velaro_Mod"},
    {PlatformId::YouTube, "", "Ева Смирнова"},
};

TEST(Mentions, Table) {
  const ChatRules rules{ChatSettings{}, kMe};
  struct Case {
    PlatformId platform;
    std::string body;
    bool mention;
  };
  const std::vector<Case> cases{
      {PlatformId::Twitch, "hi velaro_mod", true},
      {PlatformId::Twitch, "@velaro_mod look", true},
      {PlatformId::Twitch, "VELARO_MOD!", true},
      {PlatformId::Twitch, "(@Velaro_Mod)", true},
      {PlatformId::Twitch, "velaro_mod2 is someone else", false},
      {PlatformId::Twitch, "xvelaro_mod", false},
      {PlatformId::Twitch, "mail me at me@velaro_mod", false},
      {PlatformId::Twitch, "velaro mod", false},
      {PlatformId::Kick, "velaro_mod on kick is not this account", false},
      {PlatformId::YouTube, "привет, ЕВА СМИРНОВА!", true},
      {PlatformId::YouTube, "@ева смирнова", true},
      {PlatformId::YouTube, "Ева Смирновая", false},
      {PlatformId::YouTube, "velaro_mod", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rules.Mark(Message(c.platform, "viewer", c.body)).highlight,
              c.mention ? Highlight::Mention : Highlight::None)
        << c.body;
  }
}

TEST(Mentions, OwnRowsSystemLinesAndAlertsAreNeverMarked) {
  ChatSettings settings;
  settings.highlightWords = {"velaro"};
  settings.ignorePatterns = {"."};
  const ChatRules rules{settings, kMe};
  EXPECT_EQ(
      rules.Mark(Message(PlatformId::Twitch, "Velaro_Mod", "velaro: @velaro_mod me")).highlight,
      Highlight::Word);  // one's own words still match a highlight word, not a mention
  for (const char* tag : {"system", "event", "outbound"}) {
    EXPECT_EQ(rules.Mark(Message(PlatformId::Twitch, "x", "velaro_mod", {tag})), RowMark{}) << tag;
  }
}

TEST(HighlightRules, WordsPatternsAndUsers) {
  ChatSettings settings;
  settings.highlightWords = {"hype train", "GG"};
  settings.highlightPatterns = {R"(\bclip\s+(it|that)\b)", "(broken"};
  settings.highlightUsers = {"kick:QuietOtter", "@MellowWolf"};
  const ChatRules rules{settings, {}};
  struct Case {
    PlatformId platform;
    std::string author;
    std::string body;
    Highlight expected;
  };
  const std::vector<Case> cases{
      {PlatformId::Twitch, "a", "HYPE TRAIN incoming", Highlight::Word},
      {PlatformId::Twitch, "a", "hype trains", Highlight::None},
      {PlatformId::Twitch, "a", "gg wp", Highlight::Word},
      {PlatformId::Twitch, "a", "eggs", Highlight::None},
      {PlatformId::Twitch, "a", "CLIP   THAT", Highlight::Word},
      {PlatformId::Twitch, "a", "(broken", Highlight::None},  // the unusable pattern is skipped
      {PlatformId::Kick, "quietotter", "hello", Highlight::User},
      {PlatformId::Twitch, "QuietOtter", "hello", Highlight::None},
      {PlatformId::YouTube, "mellowwolf", "hello", Highlight::User},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rules.Mark(Message(c.platform, c.author, c.body)).highlight, c.expected) << c.body;
  }
}

TEST(IgnoreRules, UsersPatternsCommandsAndBots) {
  ChatSettings settings;
  settings.ignoreUsers = {"twitch:spammer", "Ревизор"};
  settings.ignorePatterns = {"buy (cheap )?followers"};
  const ChatRules plain{settings, {}};
  settings.hideCommandsAndBots = true;
  const ChatRules strict{settings, {}};
  struct Case {
    PlatformId platform;
    std::string author;
    std::string body;
    bool hiddenPlain;
    bool hiddenStrict;
  };
  const std::vector<Case> cases{
      {PlatformId::Twitch, "Spammer", "hi", true, true},
      {PlatformId::Kick, "spammer", "hi", false, false},
      {PlatformId::YouTube, "РЕВИЗОР", "hi", true, true},
      {PlatformId::Kick, "a", "Buy cheap followers now", true, true},
      {PlatformId::Kick, "a", "  !uptime", false, true},
      {PlatformId::Twitch, "Nightbot", "the stream is live", false, true},
      {PlatformId::Twitch, "a", "wow!", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(plain.Mark(Message(c.platform, c.author, c.body)).hidden, c.hiddenPlain) << c.body;
    EXPECT_EQ(strict.Mark(Message(c.platform, c.author, c.body)).hidden, c.hiddenStrict) << c.body;
  }
}

TEST(FirstMessages, TintFollowsTheSwitch) {
  ChatSettings settings;
  const auto first = Message(PlatformId::Twitch, "new", "hello", {"first"});
  EXPECT_TRUE(ChatRules(settings, {}).Mark(first).first);
  settings.highlightFirstMessages = false;
  EXPECT_FALSE(ChatRules(settings, {}).Mark(first).first);
}

TEST(Patterns, ProblemsAreToldAndBacktrackingCannotStall) {
  EXPECT_FALSE(PatternProblem(R"(^(\w+\s?)*$)"));
  EXPECT_EQ(PatternProblem("(a"), "The pattern \"(a\" cannot be used: missing ): (a.");
  EXPECT_TRUE(PatternProblem("(?=lookahead)"));
  EXPECT_TRUE(PatternProblem(R"((a)\1)"));
  EXPECT_EQ(PatternProblem("  "), "The pattern \"  \" is empty.");
  EXPECT_TRUE(PatternProblem(std::string(1001, 'a')));

  // The classic exponential cases for a backtracking engine, which would never return here; this
  // engine makes one linear pass.
  ChatSettings settings;
  settings.highlightPatterns = {"^(a+)+$", R"(^(\w+\s?)*$)"};
  const ChatRules rules{settings, {}};
  const auto body = std::string(50000, 'a') + "!";
  EXPECT_EQ(rules.Mark(Message(PlatformId::Twitch, "a", body)).highlight, Highlight::None);
}

TEST(UserRules, Parsing) {
  EXPECT_EQ(ParseUserRule(" Kick:@Otter ")->platform, PlatformId::Kick);
  EXPECT_EQ(ParseUserRule(" Kick:@Otter ")->name, "Otter");
  EXPECT_FALSE(ParseUserRule("name")->platform);
  EXPECT_FALSE(ParseUserRule("twitch: @ "));
  EXPECT_EQ(UserRuleFor(PlatformId::YouTube, "Captain Kale"), "youtube:Captain Kale");
  EXPECT_EQ(FoldName(" ΣΊΣΥΦΟΣ "), FoldName("σίσυφος"));
}

}  // namespace
}  // namespace vlo
