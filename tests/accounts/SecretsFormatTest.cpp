#include <gtest/gtest.h>

#include "accounts/SecretStore.h"
#include "tests/accounts/SecretsPrinting.h"

namespace vlo {
namespace {

using plx::TokenRecord;

TokenRecord Token(std::string access) {
  TokenRecord t;
  t.accessToken = std::move(access);
  return t;
}

TEST(SecretsRead, TokenFieldsTable) {
  struct Case {
    const char* token;  // the value of "oauth"."twitch"
    TokenRecord expected;
  };
  TokenRecord full;
  full.accessToken = "a1";
  full.refreshToken = "r1";
  full.expiresAt = 1'700'000'000'123;
  full.scopes = {"chat:read", "chat:edit"};
  full.fromPortal = true;
  full.clientId = "cid";
  full.id = "42";
  full.login = "zoe";
  full.displayName = "Zoë";
  full.avatarUrl = "https://img/a.png";
  full.needsReconnect = true;

  TokenRecord floating = Token("x");
  floating.expiresAt = 1'700'000'000'123;
  TokenRecord negative = Token("x");
  negative.expiresAt = -5;
  TokenRecord huge = Token("x");
  huge.expiresAt = INT64_MAX;
  TokenRecord scopes = Token("x");
  scopes.scopes = {"a", "b"};
  TokenRecord partialUser = Token("x");
  partialUser.login = "only";

  const Case cases[] = {
      {R"({"accessToken":"a1","refreshToken":"r1","expiresAt":1700000000123,
           "scopes":["chat:read","chat:edit"],"source":"portal","clientId":"cid",
           "needsReconnect":true,
           "user":{"id":"42","login":"zoe","displayName":"Zoë","avatarUrl":"https://img/a.png"}})",
       full},
      {R"({})", Token("")},
      {R"({"accessToken":12345})", Token("")},
      {R"({"accessToken":"x","refreshToken":7,"clientId":false})", Token("x")},
      {R"({"accessToken":"x","expiresAt":1700000000123.9})", floating},
      {R"({"accessToken":"x","expiresAt":-5.7})", negative},
      {R"({"accessToken":"x","expiresAt":18446744073709551615})", huge},
      {R"({"accessToken":"x","expiresAt":1e300})", huge},
      {R"({"accessToken":"x","expiresAt":"1700000000123"})", Token("x")},
      {R"({"accessToken":"x","scopes":["a",1,null,"b",["c"]]})", scopes},
      {R"({"accessToken":"x","scopes":"a b"})", Token("x")},
      {R"({"accessToken":"x","source":"Portal"})", Token("x")},
      {R"({"accessToken":"x","source":"own"})", Token("x")},
      {R"({"accessToken":"x","needsReconnect":"true"})", Token("x")},
      {R"({"accessToken":"x","needsReconnect":false})", Token("x")},
      {R"({"accessToken":"x","user":"zoe"})", Token("x")},
      {R"({"accessToken":"x","user":{"login":"only","id":3,"displayName":null}})", partialUser},
  };
  for (const Case& c : cases) {
    const SecretsDocument d = ParseSecrets(std::string{R"({"oauth":{"twitch":)"} + c.token + "}}");
    ASSERT_EQ(d.tokens.size(), 1u) << c.token;
    EXPECT_EQ(d.tokens.at("twitch"), c.expected) << c.token;
  }
}

TEST(SecretsRead, DocumentTable) {
  struct Case {
    const char* text;
    SecretsDocument expected;
  };
  SecretsDocument mixed;
  mixed.streamKeys = {{"twitch", "live_1"}};
  mixed.tokens = {{"kick", Token("k")}};
  mixed.oauthClients = {{"twitch", {"id", ""}}, {"youtube", {"", "s"}}};
  mixed.obsWebsocketPassword = "pw";
  SecretsDocument noPassword;
  noPassword.tokens = {{"kick", Token("k")}};

  const Case cases[] = {
      {"", {}},
      {"not json", {}},
      {R"([{"oauth":{}}])", {}},
      {R"({"streamKeys":{"twitch":"live_1","kick":5},
           "oauth":{"kick":{"accessToken":"k"},"twitch":"tok","youtube":null},
           "oauthClients":{"twitch":{"clientId":"id"},"youtube":{"clientSecret":"s","clientId":1},
                           "kick":"id"},
           "obsWebsocketPassword":"pw","further":{"kept":false}})",
       mixed},
      {R"({"streamKeys":[],"oauth":{"kick":{"accessToken":"k"}},"oauthClients":3,
           "obsWebsocketPassword":12})",
       noPassword},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseSecrets(c.text), c.expected) << c.text;
  }
}

TEST(SecretsWrite, ExactTextTable) {
  struct Case {
    SecretsDocument document;
    const char* text;
  };
  auto withToken = [](TokenRecord t) {
    SecretsDocument d;
    d.tokens["twitch"] = std::move(t);
    return d;
  };
  TokenRecord avatarOnly = Token("a");
  avatarOnly.avatarUrl = "https://img";
  TokenRecord loginOnly = Token("a");
  loginOnly.login = "zoe";
  TokenRecord falseFlags = Token("a");
  falseFlags.needsReconnect = false;
  falseFlags.fromPortal = false;
  falseFlags.clientId = "";
  TokenRecord rich = Token("a");
  rich.refreshToken = "";
  rich.expiresAt = 0;
  rich.scopes = {"s1", "s2"};
  rich.fromPortal = true;
  rich.clientId = "c";
  rich.needsReconnect = true;
  rich.displayName = "Zoë 🎮";
  SecretsDocument others;
  others.streamKeys = {{"b", "2"}, {"a", "1"}};
  others.oauthClients = {{"kick", {"", ""}}};
  others.obsWebsocketPassword = "";

  const Case cases[] = {
      {{}, R"({"oauth":{},"oauthClients":{},"streamKeys":{}})"},
      {withToken(avatarOnly),
       R"({"oauth":{"twitch":{"accessToken":"a","scopes":[],"source":"own"}},"oauthClients":{},"streamKeys":{}})"},
      {withToken(loginOnly),
       R"({"oauth":{"twitch":{"accessToken":"a","scopes":[],"source":"own","user":{"avatarUrl":"","displayName":"","id":"","login":"zoe"}}},"oauthClients":{},"streamKeys":{}})"},
      {withToken(falseFlags),
       R"({"oauth":{"twitch":{"accessToken":"a","scopes":[],"source":"own"}},"oauthClients":{},"streamKeys":{}})"},
      {withToken(rich),
       R"({"oauth":{"twitch":{"accessToken":"a","clientId":"c","expiresAt":0,"needsReconnect":true,"refreshToken":"","scopes":["s1","s2"],"source":"portal","user":{"avatarUrl":"","displayName":"Zoë 🎮","id":"","login":""}}},"oauthClients":{},"streamKeys":{}})"},
      {others,
       R"({"oauth":{},"oauthClients":{"kick":{"clientId":"","clientSecret":""}},"obsWebsocketPassword":"","streamKeys":{"a":"1","b":"2"}})"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SecretsToJson(c.document), c.text);
    // What is written reads back as the same document, but for an avatar kept without a user.
    if (c.document.tokens.empty() || c.document.tokens.begin()->second.avatarUrl.empty()) {
      EXPECT_EQ(ParseSecrets(SecretsToJson(c.document)), c.document) << c.text;
    }
  }
}

TEST(OAuthClientsFor, YouTubeShortsUsesYouTube) {
  plx::OAuthClients clients;
  clients.twitch.clientId = "t";
  clients.youtube.clientId = "y";
  clients.kick.clientId = "k";
  clients.tiktok.clientId = "tt";
  EXPECT_EQ(clients.For(plx::PlatformId::Twitch).clientId, "t");
  EXPECT_EQ(clients.For(plx::PlatformId::YouTube).clientId, "y");
  EXPECT_EQ(clients.For(plx::PlatformId::YouTubeShorts).clientId, "y");
  EXPECT_EQ(clients.For(plx::PlatformId::Kick).clientId, "k");
  EXPECT_EQ(clients.For(plx::PlatformId::TikTok).clientId, "tt");
  EXPECT_EQ(clients.For(static_cast<plx::PlatformId>(40)), plx::OAuthClient{});
}

}  // namespace
}  // namespace vlo
