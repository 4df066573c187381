// The terminal sign-in, sign-out and sending against the simulator program, as a person or a
// script uses them.

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "accounts/LoopbackRedirect.h"
#include "accounts/SecretProtection.h"
#include "accounts/SecretStore.h"
#include "core/ChatSettings.h"
#include "core/Json.h"
#include "net/Http.h"
#include "sim/world/SimWorld.h"
#include "tests/LoopbackPort.h"
#include "tests/TempDir.h"
#include "tests/app/ChildProcess.h"

namespace vlo {
namespace {

using test::ChildProcess;
using namespace std::chrono_literals;

class TerminalAccountsTest : public ::testing::Test {
 protected:
  // Starts velaro-sim without generated traffic and waits until it serves.
  void StartSim(bool autoApprove) {
    endpoints_ = (dir.path() / "endpoints.json").string();
    std::vector<std::string> args{"--rate=0", "--write-endpoints=" + endpoints_};
    if (autoApprove) args.push_back("--auto-approve");
    sim_ = std::make_unique<ChildProcess>(VLO_SIM_BINARY, args);
    ASSERT_TRUE(sim_->ReadUntil([](const std::string& l) { return l.starts_with("Sign-ins:"); }));
  }

  std::unique_ptr<ChildProcess> Chat(std::vector<std::string> args, bool withStderr = false) {
    args.push_back("--endpoints=" + endpoints_);
    return std::make_unique<ChildProcess>(
        VLO_APP_BINARY, args,
        std::vector<std::pair<std::string, std::string>>{
            {"XDG_DATA_HOME", (dir.path() / "data").string()},
            {"XDG_RUNTIME_DIR", dir.path().string()},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"},
            {"DISPLAY", ""},
            {"WAYLAND_DISPLAY", ""}},
        withStderr);
  }

  test::TempDir dir;
  std::string endpoints_;
  std::unique_ptr<ChildProcess> sim_;
};

TEST_F(TerminalAccountsTest, SignInPrintsTheAddressThenTheAccountAndSignOutForgetsIt) {
  StartSim(true);
  auto signIn = Chat({"--sign-in=twitch", "--profile=term"});
  const auto url = signIn->ReadLine();
  ASSERT_TRUE(url);
  EXPECT_NE(url->find("/connect/twitch?challenge="), std::string::npos) << *url;
  // What the person's browser does with the address.
  EXPECT_EQ(plx::Get(*url, 5000).status, 200);
  EXPECT_EQ(signIn->ReadLine(), "Connected as VelaroDemo");
  EXPECT_EQ(signIn->Wait(), 0);

  const auto secrets = dir.path() / "data" / "VelaroChat-term" / "secrets.dpapi";
  ASSERT_TRUE(std::filesystem::exists(secrets));
  const json::Json stored = json::ParseObject([&] {
    std::ifstream in{secrets, std::ios::binary};
    return std::string{std::istreambuf_iterator<char>{in}, {}};
  }());
  EXPECT_EQ(stored["oauth"]["twitch"]["source"], "portal");
  EXPECT_EQ(stored["oauth"]["twitch"]["user"]["login"], "velarodemo");
  EXPECT_EQ(std::filesystem::status(secrets).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  auto signOut = Chat({"--sign-out=twitch", "--profile=term"});
  EXPECT_EQ(signOut->ReadLine(), "Signed out of Twitch");
  EXPECT_EQ(signOut->Wait(), 0);
  auto again = Chat({"--sign-out=twitch", "--profile=term"});
  EXPECT_EQ(again->ReadLine(), "Not signed in to Twitch");
  EXPECT_EQ(again->Wait(), 0);
}

TEST_F(TerminalAccountsTest, InterruptCancelsTheSignIn) {
  StartSim(false);
  auto signIn = Chat({"--sign-in=kick"});
  ASSERT_TRUE(signIn->ReadLine());
  signIn->Signal(SIGINT);
  EXPECT_EQ(signIn->ReadLine(), "Sign-in cancelled");
  EXPECT_EQ(signIn->Wait(), 1);
}

TEST_F(TerminalAccountsTest, ADeniedSignInSaysWhy) {
  StartSim(false);
  auto signIn = Chat({"--sign-in=youtube"});
  const auto url = signIn->ReadLine();
  ASSERT_TRUE(url);
  // The person presses Deny on the portal's page.
  ASSERT_EQ(plx::Get(*url, 5000).status, 200);
  const std::string challenge = url->substr(url->find("challenge=") + 10, 43);
  const std::string base = url->substr(0, url->find("/connect/"));
  EXPECT_EQ(plx::PostForm(base + "/connect/deny", "challenge=" + challenge, 5000).status, 200);
  EXPECT_EQ(signIn->ReadLine(), "Sign-in did not finish: You denied the sign-in.");
  EXPECT_EQ(signIn->Wait(), 1);
}

// Signs in to the platform from the terminal, playing the browser's part.
void SignInFromTerminal(const std::unique_ptr<ChildProcess>& signIn) {
  const auto url = signIn->ReadLine();
  ASSERT_TRUE(url);
  ASSERT_EQ(plx::Get(*url, 5000).status, 200);
  const auto line = signIn->ReadLine();
  ASSERT_TRUE(line && line->starts_with("Connected as ")) << line.value_or("(nothing)");
  ASSERT_EQ(signIn->Wait(), 0);
}

// A line typed into --print --send-stdin goes out once to every chat that can send, shows once
// as the local copy, and the platforms' copies of it are not shown.
TEST_F(TerminalAccountsTest, SendStdinPostsEachLineOnceToEveryReadyChat) {
  StartSim(true);
  for (const char* platform : {"twitch", "youtube", "kick"}) {
    SCOPED_TRACE(platform);
    ASSERT_NO_FATAL_FAILURE(SignInFromTerminal(Chat({std::string{"--sign-in="} + platform})));
  }

  auto chat = Chat({"--print", "--json", "--send-stdin"});
  std::set<std::string> ready;
  ASSERT_TRUE(chat->ReadUntil([&](const std::string& line) {
    const json::Json event = json::ParseObject(line);
    if (event.value("type", "") == "status" && event.value("canSend", false)) {
      ready.insert(event.value("platform", ""));
    }
    return ready.size() == 3;
  })) << "not every chat became ready";

  const std::string text = "hello from the terminal";
  chat->Write("  " + text + "  \n");
  const auto outbound = chat->ReadUntil([&](const std::string& line) {
    const json::Json event = json::ParseObject(line);
    return event.value("type", "") == "row" && event.value("body", "") == text;
  });
  ASSERT_TRUE(outbound);
  const json::Json row = json::ParseObject(*outbound);
  EXPECT_EQ(row["author"], "You");
  EXPECT_EQ(row["tags"], json::Json::array({"outbound", "twitch", "youtube", "kick"}));

  // The platforms echo the message within a moment (YouTube's feed within its poll); none shows.
  const auto echo = chat->ReadUntil(
      [&](const std::string& line) {
        const json::Json event = json::ParseObject(line);
        return event.value("type", "") == "row" && event.value("body", "") == text;
      },
      2500ms);
  EXPECT_FALSE(echo) << *echo;

  // The end of the input ends the run cleanly.
  chat->CloseInput();
  EXPECT_EQ(chat->Wait(), 0);
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in{path, std::ios::binary};
  return std::string{std::istreambuf_iterator<char>{in}, {}};
}

// The user's own apps from the terminal: Twitch's client id from config.json (device code, the
// code printed), Kick's client with its secret from the store, on the sign-in port chosen in the
// settings. Nothing secret reaches the terminal, and the secret reaches no settings file.
TEST_F(TerminalAccountsTest, OwnAppSignInsPrintNoSecretsAndUseTheChosenPort) {
  StartSim(true);
  const auto folder = dir.path() / "data" / "VelaroChat-own";
  std::filesystem::create_directories(folder);
  const std::string config = std::string{R"({"oauth":{"twitch":{"clientId":")"} +
                             sim::SimWorld::kOwnAppTwitchClientId + R"("}}})";
  std::ofstream{folder / "config.json"} << config;
  const int port = test::FreeLoopbackPort();
  ChatSettings settings;
  settings.ownAppRedirectPort = port;
  ASSERT_TRUE(SaveChatSettings(folder, settings));
  {
    SecretStore store{folder, nullptr};
    store.SetOAuthClient(plx::PlatformId::Kick, plx::OAuthClient{sim::SimWorld::kOwnAppKickClientId,
                                                                 sim::SimWorld::kOwnAppKickSecret});
  }

  std::string printed;
  // Twitch: the device page and its code; the simulated page approves it by itself.
  auto twitch = Chat({"--sign-in=twitch", "--profile=own"}, true);
  const auto deviceLine =
      twitch->ReadUntil([](const std::string& l) { return l.find("://") != std::string::npos; });
  ASSERT_TRUE(deviceLine);
  const auto codeLine = twitch->ReadLine();
  ASSERT_TRUE(codeLine && codeLine->starts_with("Code: ")) << codeLine.value_or("(nothing)");
  EXPECT_EQ(plx::Get(*deviceLine, 5000).status, 200);
  const auto twitchDone = twitch->ReadUntil([&](const std::string& l) {
    printed += l + "\n";
    return l.starts_with("Connected as ") || l.starts_with("Sign-in did not finish");
  });
  EXPECT_EQ(twitchDone, "Connected as VelaroDemo");
  EXPECT_EQ(twitch->Wait(), 0);

  // Kick: the authorization page redirects the browser to the program's own listener.
  auto kick = Chat({"--sign-in=kick", "--profile=own"}, true);
  const auto url =
      kick->ReadUntil([](const std::string& l) { return l.find("://") != std::string::npos; });
  ASSERT_TRUE(url);
  EXPECT_NE(url->find("redirect_uri=" + plx::PercentEncode(LoopbackRedirect::RedirectUri(port))),
            std::string::npos)
      << *url;
  // The browser follows the redirect to the program's listener, which answers with its page.
  EXPECT_EQ(plx::Get(*url, 5000).status, 200);
  const auto kickDone = kick->ReadUntil([&](const std::string& l) {
    printed += l + "\n";
    return l.starts_with("Connected as ") || l.starts_with("Sign-in did not finish");
  });
  EXPECT_EQ(kickDone, "Connected as VelaroDemo");
  EXPECT_EQ(kick->Wait(), 0);

  SecretStore store{folder, nullptr};
  const auto twitchToken = store.GetToken(plx::PlatformId::Twitch);
  const auto kickToken = store.GetToken(plx::PlatformId::Kick);
  ASSERT_TRUE(twitchToken && kickToken);
  EXPECT_FALSE(twitchToken->fromPortal);
  EXPECT_EQ(kickToken->clientId, sim::SimWorld::kOwnAppKickClientId);
  printed += *deviceLine + "\n" + *codeLine + "\n" + *url + "\n";
  for (const std::string& secret :
       {std::string{sim::SimWorld::kOwnAppKickSecret}, twitchToken->accessToken,
        twitchToken->refreshToken.value_or("-"), kickToken->accessToken,
        kickToken->refreshToken.value_or("-"), std::string{"code_verifier"}}) {
    ASSERT_FALSE(secret.empty());
    EXPECT_EQ(printed.find(secret), std::string::npos) << "printed: " << secret;
  }
  EXPECT_EQ(ReadText(folder / "chat.json").find(sim::SimWorld::kOwnAppKickSecret),
            std::string::npos);
  EXPECT_EQ(ReadText(folder / "config.json"), config);
}

}  // namespace
}  // namespace vlo
