// Google's and Kick's authorization pages for a sign-in with the user's own app: the checks of
// the request, the approval page, the redirect to a loopback listener (with the scripted wrong
// state, error and second visit), and the code exchange with PKCE.

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "sim/accounts/Pkce.h"
#include "tests/sim/OwnAppFixture.h"

namespace vlo::sim::testing_accounts {
namespace {

using Outcome = AuthorizationRequest::Outcome;

// One platform's authorization page and token endpoint, with the app registered there.
struct CodeFlow {
  PlatformId platform;
  SimServer* pageServer;
  const char* authorizePath;
  SimServer* tokenServer;
  const char* tokenPath;
  std::string clientId;
  std::string secret;
  std::string scope;
};

using Params = std::map<std::string, std::string>;

class AuthorizationCode : public OwnAppSim {
 protected:
  CodeFlow Google() {
    return {PlatformId::YouTube,
            &googleAccounts,
            "/o/oauth2/v2/auth",
            &googleOAuth,
            "/token",
            "own-google",
            "g-secret",
            "https://www.googleapis.com/auth/youtube.force-ssl"};
  }
  CodeFlow Kick() {
    return {PlatformId::Kick,
            &kickOAuth,
            "/oauth/authorize",
            &kickOAuth,
            "/oauth/token",
            "own-kick",
            "k-secret",
            "user:read channel:read chat:write moderation:ban moderation:chat_message:manage"};
  }
  std::vector<CodeFlow> Flows() { return {Google(), Kick()}; }

  // The query the program sends.
  Params Query(const CodeFlow& flow) {
    Params params = {{"client_id", flow.clientId},
                     {"redirect_uri", CallbackUri()},
                     {"response_type", "code"},
                     {"scope", flow.scope},
                     {"code_challenge", S256Challenge(kVerifier)},
                     {"code_challenge_method", "S256"},
                     {"state", "st-" + plx::PlatformKey(flow.platform)}};
    if (flow.platform == PlatformId::YouTube) {
      params["access_type"] = "offline";
      params["prompt"] = "consent";
    }
    return params;
  }
  static std::string Encode(const Params& params) {
    std::string out;
    for (const auto& [name, value] : params) {
      out += (out.empty() ? "" : "&") + name + "=" + plx::PercentEncode(value);
    }
    return out;
  }
  static std::string Url(const CodeFlow& flow, const Params& params) {
    return flow.pageServer->BaseUrl() + flow.authorizePath + "?" + Encode(params);
  }
  // The exchange the program sends for `code`.
  Params Exchange(const CodeFlow& flow, const std::string& code) {
    return {{"grant_type", "authorization_code"}, {"code", code},
            {"redirect_uri", CallbackUri()},      {"client_id", flow.clientId},
            {"client_secret", flow.secret},       {"code_verifier", kVerifier}};
  }
  static Reply Post(const CodeFlow& flow, const Params& form) {
    return ToReply(plx::PostForm(flow.tokenServer->BaseUrl() + flow.tokenPath, Encode(form)));
  }
  // A browser visit approved at once; the code the listener received.
  std::string ApprovedCode(const CodeFlow& flow) {
    accounts.SetOwnAppApproval(OwnAppApproval::Approve);
    const size_t before = Callbacks().size();
    const plx::HttpResponse landed = plx::Get(Url(flow, Query(flow)));
    EXPECT_EQ(landed.body, "signed in");
    const std::vector<HttpExchange> callbacks = Callbacks();
    if (callbacks.size() != before + 1) {
      ADD_FAILURE() << "no callback";
      return {};
    }
    return callbacks.back().Query("code");
  }
};

TEST_F(AuthorizationCode, PageRefusesBadRequestsWithoutRedirecting) {
  struct Case {
    const char* what;
    const char* name;
    const char* value;  // nullptr: the parameter is left out
  };
  const Case cases[] = {
      {"unknown client", "client_id", "ghost"},
      {"another platform's client", "client_id", "own-twitch"},
      {"no client", "client_id", nullptr},
      {"https redirect", "redirect_uri", "https://127.0.0.1:5000/callback"},
      {"localhost redirect", "redirect_uri", "http://localhost:5000/callback"},
      {"redirect elsewhere", "redirect_uri", "http://example.com/callback"},
      {"redirect without a port", "redirect_uri", "http://127.0.0.1/callback"},
      {"redirect on port 0", "redirect_uri", "http://127.0.0.1:0/callback"},
      {"redirect on a too high port", "redirect_uri", "http://127.0.0.1:65536/callback"},
      {"redirect to a look-alike host", "redirect_uri", "http://127.0.0.1.example.com:80/cb"},
      {"redirect with a user part", "redirect_uri", "http://127.0.0.1:80@example.com/cb"},
      {"redirect with a fragment", "redirect_uri", "http://127.0.0.1:5000/cb#x"},
      {"no redirect", "redirect_uri", nullptr},
      {"implicit grant", "response_type", "token"},
      {"plain challenge", "code_challenge_method", "plain"},
      {"no challenge method", "code_challenge_method", nullptr},
      {"short challenge", "code_challenge", "abc"},
      {"challenge with bad characters", "code_challenge",
       "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw+cM/"},
      {"no challenge", "code_challenge", nullptr},
      {"no scope", "scope", nullptr},
  };
  for (const CodeFlow& flow : Flows()) {
    for (const Case& c : cases) {
      SCOPED_TRACE(plx::PlatformKey(flow.platform) + ": " + c.what);
      Params params = Query(flow);
      if (c.value) {
        params[c.name] = c.value;
      } else {
        params.erase(c.name);
      }
      for (const OwnAppApproval mode : {OwnAppApproval::Manual, OwnAppApproval::Approve}) {
        accounts.SetOwnAppApproval(mode);
        const plx::HttpResponse page = plx::Get(Url(flow, params));
        EXPECT_EQ(page.status, 400);
        EXPECT_TRUE(Contains(page.body, "<h1>Error 400: invalid_request</h1>"));
        EXPECT_EQ(accounts.AuthorizationRequests().back().outcome, Outcome::Refused);
      }
    }
  }
  EXPECT_TRUE(Callbacks().empty());
  EXPECT_TRUE(accounts.LastRedirect().empty());
  EXPECT_TRUE(accounts.WaitForAuthorizationRequests(2 * 2 * std::size(cases), 0));
}

TEST_F(AuthorizationCode, ApprovalPageThenRedirectWithCodeAndState) {
  for (const CodeFlow& flow : Flows()) {
    SCOPED_TRACE(plx::PlatformKey(flow.platform));
    const size_t seen = accounts.AuthorizationRequests().size();
    const plx::HttpResponse page = plx::Get(Url(flow, Query(flow)));
    ASSERT_EQ(page.status, 200);
    ASSERT_TRUE(accounts.WaitForAuthorizationRequests(seen + 1, 0));
    const AuthorizationRequest request = accounts.AuthorizationRequests().back();
    EXPECT_EQ(request.platform, flow.platform);
    EXPECT_EQ(request.clientId, flow.clientId);
    EXPECT_EQ(request.redirectUri, CallbackUri());
    EXPECT_EQ(request.responseType, "code");
    EXPECT_EQ(request.state, "st-" + plx::PlatformKey(flow.platform));
    EXPECT_EQ(request.codeChallenge, S256Challenge(kVerifier));
    EXPECT_EQ(request.codeChallengeMethod, "S256");
    EXPECT_EQ(request.scopes.size(), flow.platform == PlatformId::Kick ? 5u : 1u);
    EXPECT_EQ(request.accessType, flow.platform == PlatformId::YouTube ? "offline" : "");
    EXPECT_EQ(request.prompt, flow.platform == PlatformId::YouTube ? "consent" : "");
    EXPECT_EQ(request.outcome, Outcome::Pending);

    const std::string decide = std::string{flow.authorizePath};
    for (const std::string& part :
         {"action=\"" + decide + "/approve\"", "action=\"" + decide + "/deny\"",
          "name=\"handle\" value=\"" + request.handle + "\"", std::string{">Allow</button>"},
          std::string{">Deny</button>"}, flow.clientId}) {
      EXPECT_TRUE(Contains(page.body, part)) << part;
    }
    // The program's state and challenge stay between it and the platform.
    EXPECT_FALSE(Contains(page.body, request.state));
    EXPECT_FALSE(Contains(page.body, request.codeChallenge));
    EXPECT_TRUE(Callbacks().empty());

    const plx::HttpResponse landed =
        plx::PostForm(flow.pageServer->BaseUrl() + decide + "/approve", "handle=" + request.handle);
    EXPECT_EQ(landed.status, 200);
    EXPECT_EQ(landed.body, "signed in");
    ASSERT_EQ(Callbacks().size(), 1u);
    const HttpExchange callback = Callbacks().at(0);
    EXPECT_EQ(callback.path, "/callback");
    EXPECT_FALSE(callback.Query("code").empty());
    EXPECT_EQ(callback.Query("state"), request.state);
    EXPECT_FALSE(callback.HasQuery("error"));
    if (flow.platform == PlatformId::YouTube) {
      EXPECT_EQ(callback.Query("scope"), flow.scope);
      EXPECT_TRUE(callback.query.starts_with("code=4%2F")) << callback.query;
    } else {
      EXPECT_FALSE(callback.HasQuery("scope"));
    }
    EXPECT_EQ(accounts.LastRedirect(), listener.BaseUrl() + callback.target);
    EXPECT_EQ(accounts.AuthorizationRequests().back().outcome, Outcome::Approved);

    // The handle is answered once.
    const plx::HttpResponse again =
        plx::PostForm(flow.pageServer->BaseUrl() + decide + "/deny", "handle=" + request.handle);
    EXPECT_EQ(again.status, 400);
    EXPECT_TRUE(Contains(again.body, "Error 400: invalid_request"));
    EXPECT_EQ(Callbacks().size(), 1u);
    listener.ClearRequests();
  }
}

TEST_F(AuthorizationCode, DenialsAndScriptedRedirects) {
  struct Case {
    const char* what;
    OwnAppApproval mode;
    std::function<void(AccountsSim&)> script;
    const char* error;  // "": redirected with a code
    bool sameState;
    size_t visits;
  };
  const Case cases[] = {
      {"denied on the page", OwnAppApproval::Manual, nullptr, "access_denied", true, 1},
      {"denied at once", OwnAppApproval::Deny, nullptr, "access_denied", true, 1},
      {"approved at once", OwnAppApproval::Approve, nullptr, "", true, 1},
      {"wrong state", OwnAppApproval::Approve,
       [](AccountsSim& a) { a.RedirectWithWrongStateNext(); }, "", false, 1},
      {"wrong state on a denial", OwnAppApproval::Deny,
       [](AccountsSim& a) { a.RedirectWithWrongStateNext(); }, "access_denied", false, 1},
      {"server error", OwnAppApproval::Approve, [](AccountsSim& a) { a.RedirectWithErrorNext(); },
       "server_error", true, 1},
      {"another error", OwnAppApproval::Approve,
       [](AccountsSim& a) { a.RedirectWithErrorNext("temporarily_unavailable"); },
       "temporarily_unavailable", true, 1},
      {"redirected twice", OwnAppApproval::Approve, [](AccountsSim& a) { a.RedirectTwiceNext(); },
       "", true, 2},
  };
  for (const CodeFlow& flow : Flows()) {
    for (const Case& c : cases) {
      SCOPED_TRACE(plx::PlatformKey(flow.platform) + ": " + c.what);
      listener.ClearRequests();
      accounts.SetOwnAppApproval(c.mode);
      if (c.script) c.script(accounts);
      const Params query = Query(flow);
      plx::HttpResponse landed = plx::Get(Url(flow, query));
      if (c.mode == OwnAppApproval::Manual) {
        EXPECT_EQ(landed.status, 200);
        landed = plx::PostForm(flow.pageServer->BaseUrl() + flow.authorizePath + "/deny",
                               "handle=" + accounts.AuthorizationRequests().back().handle);
      }
      EXPECT_EQ(landed.body, "signed in");
      const std::vector<HttpExchange> callbacks = Callbacks();
      ASSERT_EQ(callbacks.size(), c.visits);
      const HttpExchange& callback = callbacks.back();
      EXPECT_EQ(callbacks.front().target, callback.target);
      EXPECT_EQ(listener.BaseUrl() + callback.target, accounts.LastRedirect());
      EXPECT_EQ(callback.Query("state") == query.at("state"), c.sameState);
      EXPECT_FALSE(callback.Query("state").empty());
      EXPECT_EQ(callback.Query("error"), c.error);
      EXPECT_EQ(callback.HasQuery("code"), std::string_view{c.error}.empty());
      const Outcome outcome = accounts.AuthorizationRequests().back().outcome;
      EXPECT_EQ(outcome, std::string_view{c.error}.empty()              ? Outcome::Approved
                         : std::string_view{c.error} == "access_denied" ? Outcome::Denied
                                                                        : Outcome::Failed);
      // The redirect can be visited again, as a reloading browser would.
      EXPECT_EQ(plx::Get(accounts.LastRedirect()).body, "signed in");
    }
  }
}

TEST_F(AuthorizationCode, RedirectKeepsTheQueryOfTheRedirectUri) {
  accounts.SetOwnAppApproval(OwnAppApproval::Approve);
  const CodeFlow flow = Kick();
  Params query = Query(flow);
  query["redirect_uri"] = CallbackUri() + "?from=velaro";
  query["state"] = "a b&c=d";
  ASSERT_EQ(plx::Get(Url(flow, query)).body, "signed in");
  const HttpExchange callback = Callbacks().at(0);
  EXPECT_TRUE(callback.query.starts_with("from=velaro&code=")) << callback.query;
  EXPECT_EQ(callback.Query("state"), "a b&c=d");
  // The code is exchanged with the redirect URI exactly as it was sent.
  Params exchange = Exchange(flow, callback.Query("code"));
  exchange["redirect_uri"] = query["redirect_uri"];
  EXPECT_EQ(Post(flow, exchange).status, 200);
}

TEST_F(AuthorizationCode, CodeExchangeChecks) {
  accounts.AddClient(PlatformId::YouTube, "other-google", "other-secret");
  accounts.AddClient(PlatformId::Kick, "other-kick", "other-secret");
  struct Case {
    const char* what;
    const char* name;
    std::string value;  // empty: the field is left out
    int status;
    const char* error;
  };
  for (const CodeFlow& flow : Flows()) {
    const std::string code = ApprovedCode(flow);
    ASSERT_FALSE(code.empty());
    const bool google = flow.platform == PlatformId::YouTube;
    const Case cases[] = {
        {"wrong verifier", "code_verifier", std::string(43, 'a'), 400, "invalid_grant"},
        {"verifier too short", "code_verifier", std::string{kVerifier}.substr(0, 42), 400,
         "invalid_grant"},
        {"challenge for a verifier", "code_verifier", S256Challenge(kVerifier), 400,
         "invalid_grant"},
        {"no verifier", "code_verifier", "", 400, "invalid_grant"},
        {"other redirect port", "redirect_uri", "http://127.0.0.1:1/callback", 400,
         "invalid_grant"},
        {"other redirect path", "redirect_uri", listener.BaseUrl() + "/callback/", 400,
         "invalid_grant"},
        {"no redirect", "redirect_uri", "", 400, "invalid_grant"},
        {"made-up code", "code", "4/0simmadeup", 400, "invalid_grant"},
        {"no code", "code", "", 400, "invalid_grant"},
        {"another client", "client_id", google ? "other-google" : "other-kick", 401,
         "invalid_client"},
        {"wrong secret", "client_secret", "nope", 401, "invalid_client"},
        {"no secret", "client_secret", "", google ? 400 : 401,
         google ? "invalid_request" : "invalid_client"},
        {"unknown client", "client_id", "ghost", 401, "invalid_client"},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(plx::PlatformKey(flow.platform) + ": " + c.what);
      Params form = Exchange(flow, code);
      if (c.value.empty()) {
        form.erase(c.name);
      } else {
        form[c.name] = c.value;
      }
      const Reply reply = Post(flow, form);
      EXPECT_EQ(reply.status, c.status);
      EXPECT_EQ(reply.body["error"], c.error) << reply.raw;
      EXPECT_TRUE(reply.body.contains("error_description"));
      EXPECT_FALSE(reply.body.contains("access_token"));
    }
    // Another registered client with its own secret holds no right to the code either.
    Params stolen = Exchange(flow, code);
    stolen["client_id"] = google ? "other-google" : "other-kick";
    stolen["client_secret"] = "other-secret";
    EXPECT_EQ(Post(flow, stolen).body["error"], "invalid_grant");

    // Nothing refused spent the code; the right exchange works once.
    SCOPED_TRACE(plx::PlatformKey(flow.platform));
    const Reply ok = Post(flow, Exchange(flow, code));
    ASSERT_EQ(ok.status, 200) << ok.raw;
    EXPECT_EQ(ok.body["token_type"], "Bearer");
    EXPECT_EQ(ok.body["expires_in"], AccountsSim::kDefaultLifetimeSec);
    EXPECT_EQ(ok.body["scope"], flow.scope);
    const std::string access = ok.body["access_token"];
    EXPECT_TRUE(accounts.Validate(flow.platform, access));

    // A code that comes again is refused, and what it gave is taken back.
    const Reply reused = Post(flow, Exchange(flow, code));
    EXPECT_EQ(reused.status, 400);
    EXPECT_EQ(reused.body["error"], "invalid_grant");
    EXPECT_FALSE(accounts.Validate(flow.platform, access));
  }
  // A code is good only at the platform that issued it.
  const std::string kickCode = ApprovedCode(Kick());
  EXPECT_EQ(Post(Google(), Exchange(Google(), kickCode)).body["error"], "invalid_grant");
  EXPECT_EQ(Post(Kick(), Exchange(Kick(), kickCode)).status, 200);
}

TEST_F(AuthorizationCode, IssuedTokensValidateLookUpAndRefresh) {
  accounts.AddAccount({PlatformId::Kick, "2003", "second", "Second", ""});
  accounts.SetPortalAccount(PlatformId::Kick, "2003", {"portal-only"});
  for (const CodeFlow& flow : Flows()) {
    SCOPED_TRACE(plx::PlatformKey(flow.platform));
    const Reply ok = Post(flow, Exchange(flow, ApprovedCode(flow)));
    ASSERT_EQ(ok.status, 200) << ok.raw;
    const std::string access = ok.body["access_token"];
    const std::string refresh = ok.body["refresh_token"];
    ASSERT_FALSE(refresh.empty());
    const std::optional<SimGrant> grant = accounts.Validate(flow.platform, access);
    ASSERT_TRUE(grant);
    EXPECT_EQ(grant->clientId, flow.clientId);
    EXPECT_FALSE(grant->viaPortal);
    EXPECT_EQ(Joined(grant->scopes), flow.scope);  // what the app asked for
    EXPECT_FALSE(accounts.Validate(PlatformId::Twitch, access));

    // The platform's own account lookup knows the account the person signed in with.
    if (flow.platform == PlatformId::YouTube) {
      const Reply me =
          ToReply(plx::Get(youtubeApi.BaseUrl() + "/youtube/v3/channels?part=snippet&mine=true",
                           plx::BearerHeaders(access, "")));
      EXPECT_EQ(me.body["items"][0]["id"], "UCtubechannel00000000001");
    } else {
      const Reply me =
          ToReply(plx::Get(kickApi.BaseUrl() + "/public/v1/users", plx::BearerHeaders(access, "")));
      EXPECT_EQ(me.body["data"][0]["user_id"], 2003);
    }

    // Direct refresh with the registered client.
    const Reply refreshed = Post(flow, {{"grant_type", "refresh_token"},
                                        {"refresh_token", refresh},
                                        {"client_id", flow.clientId},
                                        {"client_secret", flow.secret}});
    ASSERT_EQ(refreshed.status, 200) << refreshed.raw;
    EXPECT_TRUE(
        accounts.Validate(flow.platform, refreshed.body["access_token"].get<std::string>()));
    EXPECT_FALSE(accounts.Validate(flow.platform, access));
  }
}

TEST_F(AuthorizationCode, GoogleGivesARefreshTokenOnlyForOfflineAccess) {
  accounts.SetOwnAppApproval(OwnAppApproval::Approve);
  const CodeFlow flow = Google();
  Params query = Query(flow);
  query.erase("access_type");
  ASSERT_EQ(plx::Get(Url(flow, query)).body, "signed in");
  const Reply ok = Post(flow, Exchange(flow, Callbacks().at(0).Query("code")));
  ASSERT_EQ(ok.status, 200);
  EXPECT_FALSE(ok.body.contains("refresh_token"));
  EXPECT_TRUE(accounts.Validate(PlatformId::YouTube, ok.body["access_token"].get<std::string>()));
}

TEST_F(AuthorizationCode, ApprovingWithoutAnAccountRedirectsWithAnError) {
  SimServer server;
  AccountsSim empty{{server, server, server, server, server, server, server}};
  empty.AddClient(PlatformId::YouTube, "c", "s");
  empty.SetOwnAppApproval(OwnAppApproval::Approve);
  CodeFlow flow = Google();
  flow.pageServer = &server;  // without its own server the page is on the token endpoint's
  flow.clientId = "c";
  ASSERT_EQ(plx::Get(Url(flow, Query(flow))).body, "signed in");
  EXPECT_EQ(Callbacks().at(0).Query("error"), "server_error");
  EXPECT_FALSE(Callbacks().at(0).HasQuery("code"));
}

TEST_F(AuthorizationCode, EachTokenEndpointTakesItsOwnGrants) {
  struct Case {
    SimServer* server;
    const char* path;
    std::string form;
  };
  const std::string device = std::string{"grant_type="} + plx::PercentEncode(kDeviceGrant);
  const Case cases[] = {
      {&twitchOAuth, "/oauth2/token", "client_id=own-twitch&grant_type=authorization_code&code=x"},
      {&googleOAuth, "/token", "client_id=own-google&client_secret=g-secret&" + device},
      {&kickOAuth, "/oauth/token", "client_id=own-kick&client_secret=k-secret&" + device},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const Reply reply = ToReply(plx::PostForm(c.server->BaseUrl() + c.path, c.form));
    EXPECT_EQ(reply.status, 400);
    EXPECT_TRUE(reply.raw.find("nsupported grant type") != std::string::npos ||
                reply.body.value("error", "") == "unsupported_grant_type")
        << reply.raw;
  }
}

}  // namespace
}  // namespace vlo::sim::testing_accounts
