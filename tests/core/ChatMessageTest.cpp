#include <gtest/gtest.h>

#include "core/ChatMessage.h"

namespace plx {
namespace {

TEST(ParseIsoTimeMs, Table) {
  struct Case {
    const char* text;
    int64_t expected;
  };
  const Case cases[] = {
      {"2024-03-01T12:00:05Z", 1709294405000},
      {"2024-03-01T12:00:05.1234567+00:00", 1709294405123},
      {"2024-03-01T12:00:05.5Z", 1709294405500},
      {"2024-03-01T12:00:05.25Z", 1709294405250},
      {"2024-03-01T12:00:05", 1709294405000},  // shorter than 20 characters
      {"1970-01-01T00:00:00Z", 0},
      {"1969-12-31T23:59:59Z", 0},  // before the epoch
      {"2024-03-01 12:00:05Z", 0},  // no T
      {"yesterday", 0},
      {"", 0},
      {"2000-02-29T00:00:00Z", 951782400000},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseIsoTimeMs(c.text), c.expected) << c.text;
}

TEST(PlatformNames, KnownCustomAndUnknown) {
  EXPECT_STREQ(PlatformName(PlatformId::Kick), "Kick");
  EXPECT_EQ(PlatformKey(PlatformId::YouTubeShorts), "youtube-shorts");
  EXPECT_EQ(PlatformKey(static_cast<PlatformId>(7)), "twitch");
  EXPECT_STREQ(PlatformName(static_cast<PlatformId>(7)), "Unknown");
  EXPECT_STREQ(PlatformName(static_cast<PlatformId>(40)), "Custom destination");
  EXPECT_EQ(PlatformKey(static_cast<PlatformId>(40)), "custom-9");
  EXPECT_EQ(PlatformKey(static_cast<PlatformId>(32)), "custom-1");
  EXPECT_EQ(PlatformKey(static_cast<PlatformId>(51)), "custom-20");
  EXPECT_STREQ(PlatformName(static_cast<PlatformId>(52)), "Unknown");
}

TEST(IsViewerMessage, KindTags) {
  ChatMessage m;
  EXPECT_TRUE(IsViewerMessage(m));
  m.tags = {"moderator", "event"};
  EXPECT_FALSE(IsViewerMessage(m));
  m.tags = {"system"};
  EXPECT_FALSE(IsViewerMessage(m));
  m.tags = {"outbound", "twitch"};
  EXPECT_FALSE(IsViewerMessage(m));
  m.tags = {"events"};  // only exact tags count
  EXPECT_TRUE(IsViewerMessage(m));
}

TEST(MakeLocalId, PrefixTimeAndRisingCounter) {
  const std::string a = MakeLocalId("sys-", 1234);
  const std::string b = MakeLocalId("out-", 1234);
  ASSERT_EQ(a.rfind("sys-1234-", 0), 0u) << a;
  ASSERT_EQ(b.rfind("out-1234-", 0), 0u) << b;
  const auto counter = [](const std::string& id) {
    return std::stoull(id.substr(id.rfind('-') + 1));
  };
  EXPECT_EQ(counter(b), counter(a) + 1);  // one counter shared by every prefix
  EXPECT_NE(MakeLocalId("sys-"), MakeLocalId("sys-"));
}

}  // namespace
}  // namespace plx
