#include <gtest/gtest.h>

#include <set>

#include "accounts/Pkce.h"
#include "accounts/Portal.h"
#include "accounts/TokenParsing.h"

namespace vlo {
namespace {

using plx::LoginErrorCode;

TEST(Base64Url, EncodesWithoutPaddingInTheUrlAlphabet) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"", ""},
      {"f", "Zg"},
      {"fo", "Zm8"},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg"},
      {"\xfb\xff", "-_8"},
      {"\xff\xfe\xfd", "__79"},
  };
  for (const Case& c : cases) EXPECT_EQ(Base64UrlEncode(c.in), c.out) << c.in;
}

// RFC 7636, appendix B.
TEST(Pkce, ChallengeOfTheRfcExampleVerifier) {
  const std::string verifier = "dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk";
  EXPECT_EQ(Sha256Base64Url(verifier), "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
  const unsigned char octets[] = {116, 24,  223, 180, 151, 153, 224, 37,  79,  250, 96,
                                  125, 216, 173, 187, 186, 22,  212, 37,  77,  105, 214,
                                  191, 240, 91,  88,  5,   88,  83,  132, 141, 121};
  EXPECT_EQ(Base64UrlEncode({reinterpret_cast<const char*>(octets), sizeof octets}), verifier);
}

TEST(Pkce, PairsAreFreshAndConsistent) {
  std::set<std::string> seen;
  for (int i = 0; i < 20; ++i) {
    const PkcePair pair = MakePkcePair();
    ASSERT_EQ(pair.verifier.size(), 43u);
    EXPECT_EQ(pair.verifier.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                              "0123456789-_"),
              std::string::npos);
    EXPECT_EQ(pair.challenge, Sha256Base64Url(pair.verifier));
    EXPECT_EQ(pair.challenge.size(), 43u);
    EXPECT_TRUE(seen.insert(pair.verifier).second);
  }
}

TEST(MapPortalError, FirstMatchingRuleWins) {
  struct Case {
    std::string error, reason, message;
    LoginErrorCode code;
  };
  const Case cases[] = {
      {"not_configured", "", "", LoginErrorCode::Unavailable},
      {"platform_unavailable", "", "", LoginErrorCode::Unavailable},
      {"unavailable", "no_youtube_channel", "", LoginErrorCode::Unavailable},
      {"denied", "", "", LoginErrorCode::Denied},
      {"access_denied", "", "", LoginErrorCode::Denied},
      {"", "no_youtube_channel", "", LoginErrorCode::NoYouTubeChannel},
      {"no_youtube_channel", "", "", LoginErrorCode::NoYouTubeChannel},
      {"x", "", "This Google account has no YouTube channel yet.",
       LoginErrorCode::NoYouTubeChannel},
      {"provider_error", "", "Sign-in is NOT Available right now", LoginErrorCode::Unavailable},
      {"provider_error", "", "Kick is not configured", LoginErrorCode::Unavailable},
      {"provider_error", "", "Twitch said no", LoginErrorCode::ProviderError},
      {"Denied", "", "", LoginErrorCode::Failed},
      {"", "", "", LoginErrorCode::Failed},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MapPortalError(c.error, c.reason, c.message), c.code)
        << c.error << "/" << c.reason << "/" << c.message;
  }
}

TEST(ParseScopes, ArraysAndStringsReplaceOtherValuesKeep) {
  struct Case {
    json::Json value;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {json::Json::array({"a", 1, "b", nullptr}), {"a", "b"}},
      {"chat:read  chat:edit ", {"chat:read", "chat:edit"}},
      {"", {}},
      {json::Json::array(), {}},
      {42, {"old"}},
      {nullptr, {"old"}},
      {json::Json::object(), {"old"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> scopes{"old"};
    ParseScopes(c.value, scopes);
    EXPECT_EQ(scopes, c.expected) << c.value.dump();
  }
}

TEST(ParseTokenResponse, ReadsTheTokenEndpointsAnswer) {
  const int64_t now = 1'700'000'000'000;
  const auto full = json::ParseObject(
      R"({"access_token":"A","refresh_token":"R2","expires_in":3600,"scope":["x","y"]})");
  const plx::TokenRecord token = ParseTokenResponse(full, std::string{"R1"}, now);
  EXPECT_EQ(token.accessToken, "A");
  EXPECT_EQ(token.refreshToken, "R2");
  EXPECT_EQ(token.expiresAt, now + 3'600'000);
  EXPECT_EQ(token.scopes, (std::vector<std::string>{"x", "y"}));
  EXPECT_FALSE(token.fromPortal);
  EXPECT_TRUE(token.clientId.empty());

  // No new refresh token (Google's answer), or an empty one: the previous one stays.
  for (const char* text :
       {R"({"access_token":"A","scope":"a b"})", R"({"access_token":"A","refresh_token":""})"}) {
    const plx::TokenRecord kept =
        ParseTokenResponse(json::ParseObject(text), std::string{"R1"}, now);
    EXPECT_EQ(kept.refreshToken, "R1") << text;
    EXPECT_FALSE(kept.expiresAt.has_value()) << text;
  }
  EXPECT_EQ(ParseTokenResponse(json::ParseObject(R"({"access_token":"","expires_in":10.5})"),
                               std::nullopt, now)
                .expiresAt,
            now + 10'500);
}

TEST(TokenFromHandoff, TakesEveryMemberOfThePortalsAnswer) {
  const int64_t now = 1'000;
  const auto body = json::ParseObject(
      R"({"status":"ok","platform":"twitch","accessToken":"A","refreshToken":"R","expiresIn":60,)"
      R"("scopes":"chat:read chat:edit","clientId":"C","user":{"id":"1","login":"l",)"
      R"("displayName":"L","avatarUrl":"u"}})");
  const plx::TokenRecord token = TokenFromHandoff(body, now);
  EXPECT_EQ(token.accessToken, "A");
  EXPECT_EQ(token.refreshToken, "R");
  EXPECT_EQ(token.expiresAt, 61'000);
  EXPECT_EQ(token.scopes, (std::vector<std::string>{"chat:read", "chat:edit"}));
  EXPECT_TRUE(token.fromPortal);
  EXPECT_EQ(token.clientId, "C");
  EXPECT_EQ(token.id, "1");
  EXPECT_EQ(token.login, "l");
  EXPECT_EQ(token.displayName, "L");
  EXPECT_EQ(token.avatarUrl, "u");
  EXPECT_FALSE(token.needsReconnect);

  const plx::TokenRecord bare = TokenFromHandoff(
      json::ParseObject(R"({"accessToken":"A","refreshToken":"","user":"x"})"), now);
  EXPECT_FALSE(bare.refreshToken.has_value());
  EXPECT_FALSE(bare.expiresAt.has_value());
  EXPECT_TRUE(bare.id.empty());
}

TEST(Portal, BodiesAndBases) {
  EXPECT_TRUE(ParsePortalBody("").is_object());
  EXPECT_TRUE(ParsePortalBody("<html>").empty());
  EXPECT_TRUE(ParsePortalBody("[1]").empty());
  EXPECT_EQ(WithoutTrailingSlashes("https://p.example///"), "https://p.example");
  EXPECT_EQ(WithoutTrailingSlashes("https://p.example/x"), "https://p.example/x");
}

}  // namespace
}  // namespace vlo
