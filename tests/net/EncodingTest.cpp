#include <gtest/gtest.h>

#include "net/Http.h"
#include "net/HttpParts.h"
#include "net/UrlParts.h"

namespace plx {
namespace {

TEST(PercentEncode, KeepsUnreservedAndEscapesEverythingElse) {
  struct Case {
    std::string in, out;
  };
  const Case cases[]{
      {"", ""},
      {"AZaz09-._~", "AZaz09-._~"},
      {"a b", "a%20b"},
      {"a/b", "a%2Fb"},
      {"\xC3\xA9", "%C3%A9"},
      {"+&=?#%", "%2B%26%3D%3F%23%25"},
      {std::string{"\0\xFF", 2}, "%00%FF"},
  };
  for (const Case& c : cases) EXPECT_EQ(PercentEncode(c.in), c.out) << c.in;
}

TEST(PercentDecodeQuery, DecodesEscapesAndPlusAndKeepsMalformedOnes) {
  struct Case {
    std::string in, out;
  };
  const Case cases[]{
      {"", ""},         {"a+b%20c", "a b c"}, {"%C3%a9", "\xC3\xA9"}, {"%2B%26", "+&"},
      {"100%", "100%"}, {"%4", "%4"},         {"%zz%41", "%zzA"},     {"%00", std::string{"\0", 1}},
  };
  for (const Case& c : cases) EXPECT_EQ(PercentDecodeQuery(c.in), c.out) << c.in;
  for (const char* text : {"a b/c", "\xC3\xA9+%"}) {
    EXPECT_EQ(PercentDecodeQuery(PercentEncode(text)), text);
  }
}

TEST(Utf, RoundTripsAndReplacesInvalidInput) {
  const std::string text{"a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"};  // a é € 😀
  EXPECT_EQ(ToUtf16(text), u"a\u00E9\u20AC\U0001F600");
  EXPECT_EQ(ToUtf8(ToUtf16(text)), text);
  EXPECT_EQ(ToUtf16(""), u"");
  EXPECT_EQ(ToUtf8(u""), "");

  struct Case {
    std::string in;
    std::u16string out;
  };
  const Case invalid[]{
      {"\xFF", u"\uFFFD"},
      {"a\xC3", u"a\uFFFD"},                              // truncated at the end
      {"\xE2\x82x", u"\uFFFD\uFFFDx"},                    // truncated before another character
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong "/"
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
  };
  for (const Case& c : invalid) EXPECT_EQ(ToUtf16(c.in), c.out);

  EXPECT_EQ(ToUtf8(std::u16string{u'a', char16_t{0xD800}, u'b'}),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(ToUtf8(std::u16string{char16_t{0xDC00}}), "\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(std::u16string{char16_t{0xD83D}}), "\xEF\xBF\xBD");
}

TEST(BearerHeaders, AddsClientIdOnlyWhenGiven) {
  EXPECT_EQ(BearerHeaders("tok", "cid"), "Authorization: Bearer tok\r\nClient-Id: cid\r\n");
  EXPECT_EQ(BearerHeaders("tok", ""), "Authorization: Bearer tok\r\n");
}

TEST(RetryAfter, OnlyPositiveIntegersCount) {
  struct Case {
    std::string value;
    int32_t seconds;
  };
  const Case cases[]{{"30", 30}, {" 7 ", 7},         {"0", 0},
                     {"-5", 0},  {"1.5", 0},         {"", 0},
                     {"abc", 0}, {"99999999999", 0}, {"Wed, 21 Oct 2015 07:28:00 GMT", 0}};
  for (const Case& c : cases) EXPECT_EQ(detail::ParseRetryAfter(c.value), c.seconds) << c.value;
}

TEST(ParseUrl, TakesAbsoluteUrlsApart) {
  const auto full{detail::ParseUrl("WSS://user@example.com:8443/a/b?c=1#frag")};
  ASSERT_TRUE(full);
  EXPECT_EQ(full->scheme, "wss");
  EXPECT_EQ(full->host, "example.com");
  EXPECT_EQ(full->port, 8443);
  EXPECT_EQ(full->target, "/a/b?c=1");
  EXPECT_TRUE(full->secure);

  const auto bare{detail::ParseUrl("http://[::1]?x")};
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->host, "::1");
  EXPECT_EQ(bare->port, 80);
  EXPECT_EQ(bare->target, "/?x");

  for (const char* bad :
       {"", "example.com/x", "ftp://example.com/", "http:///path", "http://:80/", "http://host:0/",
        "http://host:70000/", "http://host:x/", "http://[::1/", "http://a b/"}) {
    EXPECT_FALSE(detail::ParseUrl(bad)) << bad;
  }
}

}  // namespace
}  // namespace plx
