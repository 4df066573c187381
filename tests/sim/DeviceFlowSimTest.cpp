// Twitch's device authorization for a sign-in with the user's own app: the device code, the
// activation page where a person confirms the code, and the token polls in every state.

#include <gtest/gtest.h>

#include <cctype>
#include <functional>

#include "tests/sim/OwnAppFixture.h"

namespace vlo::sim::testing_accounts {
namespace {

using DeviceState = DeviceSession::State;

class DeviceFlow : public OwnAppSim {
 protected:
  struct Started {
    std::string deviceCode;
    std::string userCode;
    std::string verificationUri;
  };

  Reply RequestDevice(const std::string& clientId, const std::string& scopes) {
    return ToReply(plx::PostForm(
        twitchOAuth.BaseUrl() + "/oauth2/device",
        "client_id=" + plx::PercentEncode(clientId) + "&scopes=" + plx::PercentEncode(scopes)));
  }
  Started Start(const std::string& scopes = "chat:read chat:edit") {
    const Reply reply = RequestDevice("own-twitch", scopes);
    EXPECT_EQ(reply.status, 200) << reply.raw;
    return {reply.body.value("device_code", ""), reply.body.value("user_code", ""),
            reply.body.value("verification_uri", "")};
  }
  Reply Poll(const std::string& deviceCode, const std::string& clientId = "own-twitch") {
    return ToReply(
        plx::PostForm(twitchOAuth.BaseUrl() + "/oauth2/token",
                      "client_id=" + plx::PercentEncode(clientId) +
                          "&device_code=" + plx::PercentEncode(deviceCode) +
                          "&scopes=chat%3Aread&grant_type=" + plx::PercentEncode(kDeviceGrant)));
  }
  plx::HttpResponse Decide(const std::string& typedCode, bool approve) {
    return plx::PostForm(twitchOAuth.BaseUrl() + (approve ? "/activate/approve" : "/activate/deny"),
                         "user_code=" + plx::PercentEncode(typedCode));
  }
  static Json Refusal(const char* message) { return {{"status", 400}, {"message", message}}; }
};

TEST_F(DeviceFlow, DeviceCodeAnswerAndRefusedClients) {
  const Reply reply = RequestDevice("own-twitch", "chat:read user:write:chat");
  ASSERT_EQ(reply.status, 200);
  const std::string userCode = reply.body["user_code"];
  ASSERT_EQ(userCode.size(), 8u);
  for (const char c : userCode) EXPECT_TRUE(c >= 'A' && c <= 'Z') << userCode;
  EXPECT_EQ(reply.body["expires_in"], 1800);
  EXPECT_EQ(reply.body["interval"], 5);
  EXPECT_FALSE(reply.body["device_code"].get<std::string>().empty());
  EXPECT_EQ(reply.body["verification_uri"],
            twitchOAuth.BaseUrl() + "/activate?device-code=" + userCode);

  ASSERT_TRUE(accounts.WaitForDeviceSessions(1, 0));
  const DeviceSession session = accounts.DeviceSessions().at(0);
  EXPECT_EQ(session.clientId, "own-twitch");
  EXPECT_EQ(session.userCode, userCode);
  EXPECT_EQ(session.scopes, (std::vector<std::string>{"chat:read", "user:write:chat"}));
  EXPECT_EQ(session.state, DeviceState::Pending);
  EXPECT_EQ(session.polls, 0);

  // Another request gets other codes.
  EXPECT_NE(Start().userCode, userCode);

  struct Case {
    std::string clientId;
    const char* message;
  };
  // A client registered at another platform is unknown to Twitch.
  for (const Case& c : {Case{"ghost", "invalid client"}, Case{"own-google", "invalid client"},
                        Case{"", "missing client id"}}) {
    SCOPED_TRACE(c.clientId);
    const Reply refused = RequestDevice(c.clientId, "chat:read");
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.body, Refusal(c.message));
  }
  EXPECT_EQ(accounts.DeviceSessions().size(), 2u);
}

TEST_F(DeviceFlow, ActivatePageOffersTheCodeForADecision) {
  const Started started = Start();
  const plx::HttpResponse page = plx::Get(started.verificationUri);
  ASSERT_EQ(page.status, 200);
  for (const std::string& part :
       {std::string{"Activate your device"}, std::string{"Streamer"},
        "value=\"" + started.userCode + "\"", std::string{"action=\"/activate/approve\""},
        std::string{"formaction=\"/activate/deny\""}, std::string{"name=\"user_code\""},
        std::string{">Authorize</button>"}, std::string{">Deny</button>"},
        std::string{"<li>chat:edit</li>"}, std::string{"own-twitch"}}) {
    EXPECT_TRUE(Contains(page.body, part)) << part;
  }
  EXPECT_FALSE(Contains(page.body, started.deviceCode));
  EXPECT_EQ(accounts.DeviceSessions().at(0).state, DeviceState::Pending);  // only shown

  // Without a code, or with one nobody asked for, the person types it.
  const plx::HttpResponse empty = plx::Get(twitchOAuth.BaseUrl() + "/activate");
  EXPECT_EQ(empty.status, 200);
  EXPECT_TRUE(Contains(empty.body, "name=\"user_code\""));
  const plx::HttpResponse unknown =
      plx::Get(twitchOAuth.BaseUrl() + "/activate?device-code=ZZZZQQQQ");
  EXPECT_EQ(unknown.status, 200);
  EXPECT_TRUE(Contains(unknown.body, "That code is not valid."));
  EXPECT_TRUE(Contains(unknown.body, "value=\"ZZZZQQQQ\""));
}

TEST_F(DeviceFlow, PendingThenApprovedOnceThenUnknown) {
  const Started started = Start();
  EXPECT_EQ(Poll(started.deviceCode).body, Refusal("authorization_pending"));
  EXPECT_EQ(Poll(started.deviceCode).body, Refusal("authorization_pending"));

  // A person types the code in lower case with a dash.
  std::string typed = started.userCode.substr(0, 4) + "-" + started.userCode.substr(4);
  for (char& c : typed) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const plx::HttpResponse connected = Decide(typed, true);
  EXPECT_EQ(connected.status, 200);
  EXPECT_TRUE(Contains(connected.body, "Device connected"));
  EXPECT_EQ(accounts.DeviceSessions().at(0).state, DeviceState::Approved);

  const Reply ok = Poll(started.deviceCode);
  ASSERT_EQ(ok.status, 200) << ok.raw;
  EXPECT_EQ(ok.body["scope"], Json::array({"chat:read", "chat:edit"}));
  EXPECT_EQ(ok.body["token_type"], "bearer");
  EXPECT_EQ(ok.body["expires_in"], AccountsSim::kDefaultLifetimeSec);
  const std::string access = ok.body["access_token"];
  const std::string refresh = ok.body["refresh_token"];
  ASSERT_FALSE(refresh.empty());
  const std::optional<SimGrant> grant = accounts.Validate(PlatformId::Twitch, access);
  ASSERT_TRUE(grant);
  EXPECT_EQ(grant->account.login, "streamer");
  EXPECT_EQ(grant->clientId, "own-twitch");
  EXPECT_FALSE(grant->viaPortal);
  EXPECT_EQ(grant->scopes, (std::vector<std::string>{"chat:read", "chat:edit"}));

  // Handed out once: the code is spent, and deciding again changes nothing.
  EXPECT_EQ(Poll(started.deviceCode).body, Refusal("invalid device code"));
  EXPECT_TRUE(Contains(Decide(started.userCode, false).body, "Device connected"));
  EXPECT_TRUE(Contains(plx::Get(started.verificationUri).body, "Device connected"));
  EXPECT_FALSE(accounts.DenyDevice());
  EXPECT_FALSE(accounts.ExpireDevice());
  const DeviceSession session = accounts.DeviceSessions().at(0);
  EXPECT_EQ(session.state, DeviceState::Redeemed);
  EXPECT_EQ(session.polls, 4);
  EXPECT_TRUE(accounts.Validate(PlatformId::Twitch, access));

  // The token is the registered public client's: Helix knows it with that client id, and the
  // token endpoint refreshes it without a secret.
  const Reply me =
      ToReply(plx::Get(helix.BaseUrl() + "/helix/users", plx::BearerHeaders(access, "own-twitch")));
  EXPECT_EQ(me.status, 200);
  EXPECT_EQ(me.body["data"][0]["id"], "1001");
  const Reply refreshed =
      ToReply(plx::PostForm(twitchOAuth.BaseUrl() + "/oauth2/token",
                            "client_id=own-twitch&grant_type=refresh_token&refresh_token=" +
                                plx::PercentEncode(refresh)));
  ASSERT_EQ(refreshed.status, 200) << refreshed.raw;
  EXPECT_TRUE(
      accounts.Validate(PlatformId::Twitch, refreshed.body["access_token"].get<std::string>()));
  EXPECT_FALSE(accounts.Validate(PlatformId::Twitch, access));
}

TEST_F(DeviceFlow, EndStatesAndTheirAnswers) {
  struct Case {
    const char* what;
    // Acts on the started device; false when that step itself should have failed.
    std::function<bool(const Started&)> act;
    const char* message;
    DeviceState state;
    const char* page;  // what the activation page says then
  };
  const Case cases[] = {
      {"denied on the page",
       [this](const Started& s) {
         return Contains(Decide(s.userCode, false).body, "Device not connected");
       },
       "access_denied", DeviceState::Denied, "Device not connected"},
      {"denied by the script", [this](const Started& s) { return accounts.DenyDevice(s.userCode); },
       "access_denied", DeviceState::Denied, "Device not connected"},
      {"expired while pending",
       [this](const Started& s) { return accounts.ExpireDevice(s.userCode); }, "expired_token",
       DeviceState::Expired, "Code expired"},
      {"expired after approval, before the poll",
       [this](const Started& s) {
         return accounts.ApproveDevice(s.userCode) && accounts.ExpireDevice(s.userCode);
       },
       "expired_token", DeviceState::Expired, "Code expired"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Started started = Start();
    ASSERT_TRUE(c.act(started));
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Poll(started.deviceCode).body, Refusal(c.message));
    EXPECT_EQ(accounts.DeviceSessions().back().state, c.state);
    // An ended session cannot be approved any more, on the page or by the script.
    EXPECT_FALSE(accounts.ApproveDevice(started.userCode));
    EXPECT_TRUE(Contains(Decide(started.userCode, true).body, c.page));
    EXPECT_TRUE(Contains(plx::Get(started.verificationUri).body, c.page));
    EXPECT_EQ(Poll(started.deviceCode).body, Refusal(c.message));
  }
  const Started expired = Start();
  ASSERT_TRUE(accounts.ExpireDevice());  // the newest
  EXPECT_EQ(plx::Get(expired.verificationUri).status, 410);

  // Codes nobody issued, or presented by another client, are unknown.
  const Started pending = Start();
  accounts.AddClient(PlatformId::Twitch, "other-twitch", "");
  EXPECT_EQ(Poll("made-up").body, Refusal("invalid device code"));
  EXPECT_EQ(Poll("").body, Refusal("invalid device code"));
  EXPECT_EQ(Poll(pending.deviceCode, "other-twitch").body, Refusal("invalid device code"));
  EXPECT_EQ(Poll(pending.deviceCode, "ghost").body, Refusal("invalid client"));
  EXPECT_EQ(accounts.DeviceSessions().back().state, DeviceState::Pending);
  EXPECT_EQ(Decide("NOSUCHCD", true).status, 400);
  EXPECT_FALSE(accounts.ApproveDevice("NOSUCHCD"));
}

TEST_F(DeviceFlow, ScriptedAnswersComeFirst) {
  const Started started = Start();
  ASSERT_TRUE(accounts.ApproveDevice());
  accounts.AnswerNextDevicePolls(DevicePollAnswer::SlowDown, 2);
  accounts.AnswerNextDevicePolls(DevicePollAnswer::Pending);
  EXPECT_EQ(Poll(started.deviceCode).body, Refusal("slow_down"));
  EXPECT_EQ(Poll(started.deviceCode).body, Refusal("slow_down"));
  EXPECT_EQ(Poll(started.deviceCode).body, Refusal("authorization_pending"));
  EXPECT_EQ(Poll(started.deviceCode).status, 200);
  EXPECT_EQ(accounts.DeviceSessions().at(0).polls, 4);
  // No slow_down unless scripted, however fast the polls come.
  const Started fast = Start();
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(Poll(fast.deviceCode).body, Refusal("authorization_pending"));
}

TEST_F(DeviceFlow, AutomaticDecisionOnVisitingTheActivatePage) {
  accounts.SetOwnAppApproval(OwnAppApproval::Approve);
  const Started approved = Start();
  const Started untouched = Start();
  const plx::HttpResponse page = plx::Get(approved.verificationUri);
  EXPECT_EQ(page.status, 200);
  EXPECT_TRUE(Contains(page.body, "Device connected"));
  EXPECT_EQ(Poll(approved.deviceCode).status, 200);
  EXPECT_EQ(Poll(untouched.deviceCode).body, Refusal("authorization_pending"));
  // Without a known code there is nothing to decide: the page asks for one.
  EXPECT_TRUE(Contains(plx::Get(twitchOAuth.BaseUrl() + "/activate").body, "name=\"user_code\""));

  accounts.SetOwnAppApproval(OwnAppApproval::Deny);
  const Started denied = Start();
  EXPECT_TRUE(Contains(plx::Get(denied.verificationUri).body, "Device not connected"));
  EXPECT_EQ(Poll(denied.deviceCode).body, Refusal("access_denied"));

  // With no Twitch account there is nobody to sign in: the device stays pending.
  SimServer server;
  AccountsSim empty{{server, server, server, server, server, server, server}};
  empty.AddClient(PlatformId::Twitch, "c", "");
  empty.SetOwnAppApproval(OwnAppApproval::Approve);
  const Reply device =
      ToReply(plx::PostForm(server.BaseUrl() + "/oauth2/device", "client_id=c&scopes="));
  ASSERT_EQ(device.status, 200);
  const plx::HttpResponse nobody = plx::Get(device.body["verification_uri"].get<std::string>());
  EXPECT_TRUE(Contains(nobody.body, "There is no Twitch account"));
  EXPECT_EQ(empty.DeviceSessions().at(0).state, DeviceState::Pending);
  EXPECT_FALSE(empty.ApproveDevice());
}

}  // namespace
}  // namespace vlo::sim::testing_accounts
