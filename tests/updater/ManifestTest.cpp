// The manifest's rules, and fetching it from the site.

#include <gtest/gtest.h>

#include "core/Json.h"
#include "tests/updater/FakeInstaller.h"
#include "updater/Manifest.h"

namespace plx {
namespace {

using vlo::json::Json;

constexpr const char* kBase = "https://velaro.example";
const std::string kDigest(64, 'a');

std::string Manifest(Json version, Json sha256, Json size) {
  return vlo::json::Dump({{"version", version}, {"sha256", sha256}, {"size", size}});
}

TEST(ManifestTest, AcceptsOnlyWhatTheRulesAllow) {
  struct Case {
    std::string body;
    bool accepted;
  };
  const std::string mixedCase = "ABCDEF0123456789" + std::string(48, 'f');
  const Case cases[] = {
      {Manifest("1.1.4", kDigest, 5000000), true},
      {Manifest("0.0.0", kDigest, 5000000), true},
      {Manifest("1.1.4", mixedCase, 1024), true},
      {Manifest("1.1.4", kDigest, 67108864), true},
      {Manifest("1.1.4", kDigest, 1023), false},
      {Manifest("1.1.4", kDigest, 67108865), false},
      {Manifest("1.1.4", kDigest, 5.0e6), false},
      {Manifest("1.1.4", kDigest, "5000000"), false},
      {Manifest("1.1.4", std::string(63, 'a'), 5000000), false},
      {Manifest("1.1.4", std::string(65, 'a'), 5000000), false},
      {Manifest("1.1.4", std::string(63, 'a') + "g", 5000000), false},
      {Manifest("1.1", kDigest, 5000000), false},
      {Manifest("v1.1.4", kDigest, 5000000), false},
      {Manifest(114, kDigest, 5000000), false},
      {vlo::json::Dump({{"version", "1.1.4"}, {"sha256", kDigest}}), false},
      {"[" + Manifest("1.1.4", kDigest, 5000000) + "]", false},
      {"{\"version\": \"1.1.4\",", false},
      {"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseManifest(c.body, kBase).has_value(), c.accepted) << c.body;
  }
}

TEST(ManifestTest, BuildsTheReleaseFromTheVersionAndLowersTheDigest) {
  const std::string digest = "ABCDEF0123456789" + std::string(48, 'F');
  Json manifest = {{"version", "1.2.0"}, {"sha256", digest}, {"size", 4096}};
  manifest["url"] = "https://elsewhere.example/evil.sh";  // never read
  manifest["notes"] = "other keys are ignored";
  const std::optional<UpdateRelease> release = ParseManifest(vlo::json::Dump(manifest), kBase);
  ASSERT_TRUE(release);
  EXPECT_EQ(*release,
            (UpdateRelease{"1.2.0", "https://velaro.example/downloads/VelaroChat-Setup-1.2.0.sh",
                           "abcdef0123456789" + std::string(48, 'f'), 4096}));
}

TEST(ManifestTest, RefusesABodyOverSixteenKilobytesUnread) {
  std::string body = Manifest("1.1.4", kDigest, 5000000);
  body.pop_back();
  body += ", \"padding\": \"";
  const std::string end = "\"}";
  body += std::string(kMaxManifestBytes - body.size() - end.size(), 'x') + end;
  ASSERT_EQ(body.size(), kMaxManifestBytes);
  EXPECT_TRUE(ParseManifest(body, kBase));
  body.insert(body.size() - end.size(), "x");
  EXPECT_FALSE(ParseManifest(body, kBase));
}

class FetchManifestTest : public vlo::test::UpdateSiteTest {};

TEST_F(FetchManifestTest, FetchesThePublishedReleaseWithoutFollowingRedirects) {
  const std::string installer = vlo::test::FakeInstaller("1.1.4");
  sim.Publish("1.1.4", installer);
  std::string error;
  const std::optional<UpdateRelease> release = FetchUpdateManifest(Site(), &error);
  ASSERT_TRUE(release) << error;
  EXPECT_EQ(*release, vlo::test::ReleaseOf(sim.Base(), "1.1.4", installer));
  EXPECT_EQ(server.Requests().back().Header("User-Agent"), kAppUserAgent);

  struct Case {
    vlo::sim::HttpAnswer answer;
    std::string error;
  };
  vlo::sim::HttpAnswer redirect = vlo::sim::HttpAnswer::Status(302);
  redirect.headers.emplace_back("Location", sim.Base() + "/downloads/chat-latest.json");
  const Case cases[] = {
      {vlo::sim::HttpAnswer::Json("{\"version\": \"1.1.4\"}"),
       "Update check: the website's chat-latest.json has no installable release yet."},
      {vlo::sim::HttpAnswer::Status(404), "Update check: HTTP 404"},
      {vlo::sim::HttpAnswer::Status(503), "Update check: HTTP 503"},
      {redirect, "Update check: HTTP 302"},
  };
  for (const Case& c : cases) {
    server.AnswerNext("GET", std::string{kManifestPath}, 1, c.answer);
    error.clear();
    EXPECT_FALSE(FetchUpdateManifest(Site(), &error));
    EXPECT_EQ(error, c.error);
  }
  EXPECT_EQ(sim.ManifestRequests(), 5u);
}

TEST_F(FetchManifestTest, ANetworkFailureGivesTheClientsText) {
  UpdateSite site = Site();
  site.base = "https://127.0.0.1:1";
  std::string error;
  EXPECT_FALSE(FetchUpdateManifest(site, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(error.starts_with("Update check: HTTP")) << error;
}

TEST(UpdateSiteRuleTest, OnlyHttpsOrThisMachine) {
  EXPECT_TRUE(IsSecureSite("https://velaro.studio"));
  EXPECT_TRUE(IsSecureSite("HTTPS://velaro.studio:8443/prefix"));
  EXPECT_TRUE(IsSecureSite("http://127.0.0.1:41234"));
  EXPECT_TRUE(IsSecureSite("http://localhost:8080"));
  EXPECT_FALSE(IsSecureSite("http://velaro.studio"));
  EXPECT_FALSE(IsSecureSite("http://127.0.0.1.example.com"));
  EXPECT_FALSE(IsSecureSite("ftp://velaro.studio"));

  std::string error;
  UpdateSite site;
  site.base = "http://velaro.example";
  EXPECT_FALSE(FetchUpdateManifest(site, &error));
  EXPECT_EQ(error, "Update check: the update site does not use HTTPS.");
}

}  // namespace
}  // namespace plx
