#include <gtest/gtest.h>

#include "readers/youtube/PageScrapers.h"

namespace vlo {
namespace {

TEST(FindCanonicalVideoId, Table) {
  struct Case {
    std::string html;
    const char* expected;
  };
  const std::string link = R"(<link rel="canonical" href="https://www.youtube.com/watch?v=)";
  const Case cases[] = {
      {"<head>" + link + R"(abcDEF12345"></head>)", "abcDEF12345"},
      {link + "abcDEF12345xyz\">", "abcDEF12345"},  // only 11 characters are taken
      {link + "abcDEF1234\">", ""},                 // a quote inside the 11
      {link + "abcDEF1234", ""},                    // page ends early
      {link + "abc!EF12345\">", ""},
      {R"(<link rel="canonical" href="https://www.youtube.com/channel/UCabcdefghijklmnopqrstuv">)",
       ""},
      {R"(<link rel="canonical" href="http://www.youtube.com/watch?v=abcDEF12345">)", ""},
      {R"(<link href="https://www.youtube.com/watch?v=abcDEF12345" rel="canonical">)", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FindCanonicalVideoId(c.html), c.expected) << c.html;
}

TEST(FindChannelTitle, Table) {
  struct Case {
    std::string html;
    std::string expected;
  };
  const std::string longest = std::string(399, 'x');  // 401 with its quotes
  const Case cases[] = {
      {R"(..."ownerChannelName":"Some \"Creator\" \u00e9\\",...)", "Some \"Creator\" é\\"},
      {R"("author":"Fallback","ownerChannelName":"Owner")", "Owner"},
      {R"("ownerChannelName":"","author":"Fallback")", "Fallback"},
      {R"("ownerChannelName": "spaced","author":"Fallback")", "Fallback"},  // quote must follow
      {R"("ownerChannelName":"\x","author":"Fallback")", "Fallback"},       // bad escape
      {R"("ownerChannelName":"never closed)", ""},
      {"\"author\":\"" + longest + "\"", longest},
      {"\"author\":\"" + longest + "y\"", ""},
      {R"("ownerChannelName":"a)", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FindChannelTitle(c.html), c.expected) << c.html;
}

}  // namespace
}  // namespace vlo
