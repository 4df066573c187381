// The terminal sign-in, sign-out and sending against the simulator program, as a person or a
// script uses them.

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "core/Json.h"
#include "net/Http.h"
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

  std::unique_ptr<ChildProcess> Chat(std::vector<std::string> args) {
    args.push_back("--endpoints=" + endpoints_);
    return std::make_unique<ChildProcess>(
        VLO_APP_BINARY, args,
        std::vector<std::pair<std::string, std::string>>{
            {"XDG_DATA_HOME", (dir.path() / "data").string()},
            {"XDG_RUNTIME_DIR", dir.path().string()},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"},
            {"DISPLAY", ""},
            {"WAYLAND_DISPLAY", ""}});
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

}  // namespace
}  // namespace vlo
