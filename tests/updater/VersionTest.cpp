// Release versions and the program's own version.

#include <gtest/gtest.h>

#include "core/Version.h"
#include "net/Http.h"
#include "updater/ReleaseVersion.h"

namespace plx {
namespace {

TEST(ReleaseVersionTest, ParsesThreeNumbersAndNothingElse) {
  struct Case {
    const char* text;
    std::optional<ReleaseVersion> expected;
  };
  const Case cases[] = {
      {"1.1.3", ReleaseVersion{1, 1, 3}},
      {"1.10.0", ReleaseVersion{1, 10, 0}},
      {"0.0.0", ReleaseVersion{0, 0, 0}},
      {"65535.65535.65535", ReleaseVersion{65535, 65535, 65535}},
      {"1.1", std::nullopt},
      {"1.1.3.0", std::nullopt},
      {"1.01.0", std::nullopt},
      {"01.1.0", std::nullopt},
      {"1.1.3-beta", std::nullopt},
      {"v1.1.3", std::nullopt},
      {"1.1.70000", std::nullopt},
      {"1.1.65536", std::nullopt},
      {"1.1.000001", std::nullopt},
      {"1..3", std::nullopt},
      {".1.1.3", std::nullopt},
      {"1.1.3.", std::nullopt},
      {" 1.1.3", std::nullopt},
      {"1.1.3 ", std::nullopt},
      {"1.+1.3", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<ReleaseVersion> parsed = ParseVersion(c.text);
    EXPECT_EQ(parsed.has_value(), c.expected.has_value()) << c.text;
    if (parsed && c.expected) {
      EXPECT_EQ(*parsed, *c.expected) << c.text;
    }
  }
}

TEST(ReleaseVersionTest, NewerComparesNumbersInOrder) {
  struct Case {
    const char* a;
    const char* b;
    bool newer;
  };
  const Case cases[] = {
      {"1.1.4", "1.1.3", true},  {"1.2.0", "1.1.3", true},  {"2.0.0", "1.65535.65535", true},
      {"1.1.10", "1.1.9", true}, {"1.1.3", "1.1.3", false}, {"1.1.2", "1.1.3", false},
      {"1.0.9", "1.1.0", false}, {"0.0.0", "1.1.3", false}, {"1.1.4-beta", "1.1.3", false},
      {"1.1.4", "1.1.x", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsNewerVersion(c.a, c.b), c.newer) << c.a << " vs " << c.b;
}

// The program, the portal tag, the user agent and the project all name one version.
TEST(ReleaseVersionTest, TheProgramNamesOneVersionEverywhere) {
  EXPECT_EQ(vlo::kAppVersion, VLO_PROJECT_VERSION);
  EXPECT_TRUE(ParseVersion(vlo::kAppVersion));
  EXPECT_EQ(vlo::kPortalVersionTag, "chat-" + std::string{vlo::kAppVersion});
  EXPECT_EQ(kAppUserAgent, "VelaroStudio/" + std::string{vlo::kPortalVersionTag});
}

}  // namespace
}  // namespace plx
