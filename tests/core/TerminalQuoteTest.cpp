#include <gtest/gtest.h>

#include "core/TextRules.h"

namespace vlo {
namespace {

TEST(QuoteForTerminal, EscapesWhatATerminalWouldActOnAndShortens) {
  struct Case {
    std::string text;
    std::string quoted;
  };
  const Case cases[] = {
      {"plain name", "\"plain name\""},
      {"", "\"\""},
      {"tab\tline\nreturn\r", "\"tab\\tline\\nreturn\\r\""},
      {"\x1b]0;title\x07", "\"\\x1B]0;title\\x07\""},  // a terminal title sequence
      {"quote\" and back\\slash", "\"quote\\\" and back\\\\slash\""},
      {"caf\xC3\xA9 \xE2\x9C\x93", "\"caf\xC3\xA9 \xE2\x9C\x93\""},  // UTF-8 kept
      {"bad \xC3 byte \xFF", "\"bad \\xC3 byte \\xFF\""},
      {"\xC2\x9B"
       "31m",
       "\"\\u{009B}31m\""},                                 // a C1 control (CSI)
      {"right\xE2\x80\xAEleft", "\"right\\u{202E}left\""},  // a direction override
      {"\x7f", "\"\\x7F\""},
  };
  for (const Case& c : cases) EXPECT_EQ(QuoteForTerminal(c.text), c.quoted) << c.text;

  EXPECT_EQ(QuoteForTerminal(std::string(100, 'a'), 10), "\"aaaaaaaaaa\"…");
  EXPECT_EQ(QuoteForTerminal(std::string(10, 'a'), 10), "\"aaaaaaaaaa\"");
  // Characters, not bytes, are counted.
  EXPECT_EQ(QuoteForTerminal("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\"\xC3\xA9\xC3\xA9\"…");
  const std::string huge(1 << 20, '\n');
  EXPECT_LT(QuoteForTerminal(huge).size(), 200u);
}

}  // namespace
}  // namespace vlo
