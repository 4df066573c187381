#include <gtest/gtest.h>

#include "alerts/TwitchTags.h"

namespace vlo {
namespace {

TEST(TwitchTags, Unescape) {
  struct Case {
    std::string_view in;
    std::string_view out;
  } cases[] = {
      {"plain", "plain"},
      {"a\\sb", "a b"},
      {"a\\:b", "a;b"},
      {"back\\\\slash", "back\\slash"},
      {"cr\\rlf\\n", "cr\rlf\n"},
      {"\\q\\-", "q-"},      // any other escaped character stands for itself
      {"end\\", "end"},      // a lone trailing backslash stands for nothing
      {"end\\\\", "end\\"},  // an escaped backslash at the end stays
      {"\\", ""},
      {"", ""},
      {"Kappa\\s\\:)\\s\xC3\xA9", "Kappa ;) \xC3\xA9"},
  };
  for (const auto& c : cases) EXPECT_EQ(UnescapeTagValue(c.in), c.out) << c.in;
}

TEST(TwitchTags, RawValueLookup) {
  const std::string_view tags = "badges=vip/1;bits;id=a\\sb;id2=x;bits-balance=3;id=last";
  EXPECT_EQ(RawTagValue(tags, "badges"), "vip/1");
  EXPECT_EQ(RawTagValue(tags, "bits"), "");    // bare key; "bits-balance" is another key
  EXPECT_EQ(RawTagValue(tags, "id"), "last");  // a later duplicate wins
  EXPECT_EQ(RawTagValue(tags, "color"), std::nullopt);
  EXPECT_EQ(TagValue("a=x\\sy", "a"), "x y");
  EXPECT_EQ(RawTagValue("", "a"), std::nullopt);
  EXPECT_EQ(RawTagValue(";;a=1;;", "a"), "1");
}

}  // namespace
}  // namespace vlo
