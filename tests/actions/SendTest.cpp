#include <functional>
#include <future>
#include <thread>

#include "tests/actions/ActionsFixture.h"

namespace vlo::test {
namespace {

using sim::HttpAnswer;

class SendTest : public ActionsTest {
 protected:
  std::vector<std::string> Bodies() const {
    std::vector<std::string> bodies;
    for (const auto& row : hub.Snapshot()) bodies.push_back(row.body);
    return bodies;
  }
};

TEST_F(SendTest, OnlyTheSuccessfulPlatformGetsTheCopyAndItsEchoIsDroppedOnce) {
  SignInAndConnectAll();
  helix.AnswerNext("POST", "/helix/chat/messages", 1,
                   HttpAnswer::Json(R"({"error":"Forbidden","status":403,)"
                                    R"("message":"The sender is banned from this channel."})",
                                    403));
  kick.AnswerNext(
      "POST", "/public/v1/chat", 1,
      HttpAnswer::Json(R"({"data":{"is_sent":true,"message_id":"m-1"},"message":"OK"})"));

  const auto results{Send(hub, endpoints, {PlatformId::Twitch, PlatformId::Kick}, "Hello ")};

  EXPECT_EQ(results, (std::vector<SendResult>{
                         {PlatformId::Twitch, false,
                          "Twitch did not allow sending here: The sender is banned from this "
                          "channel."},
                         {PlatformId::Kick, true, "sent"},
                     }));
  ASSERT_EQ(Rows().size(), 1u);
  const plx::ChatRow copy{Rows()[0]};
  EXPECT_EQ(copy.platform, PlatformId::Kick);
  EXPECT_EQ(copy.author, "You");
  EXPECT_EQ(copy.body, "Hello ");
  EXPECT_EQ(copy.tags, (std::vector<std::string>{"outbound", "kick"}));
  EXPECT_EQ(copy.timestampMs, clock.NowMs());
  EXPECT_EQ(copy.id.rfind("out-" + std::to_string(clock.NowMs()) + "-", 0), 0u);
  EXPECT_TRUE(copy.authorId.empty());
  EXPECT_TRUE(copy.platformMessageId.empty());

  clock.Advance(1500);
  hub.AddMessage(Viewer(PlatformId::Kick, "me", "1", "k-1", "\thELLO\r\n"));  // Kick's echo
  hub.AddMessage(Viewer(PlatformId::Twitch, "viewer", "2", "t-1", "hello"));  // not expected
  hub.AddMessage(Viewer(PlatformId::Kick, "other", "3", "k-2", "hello"));     // only once
  EXPECT_EQ(Bodies(), (std::vector<std::string>{"Hello ", "hello", "hello"}));
  EXPECT_EQ(Rows()[1].platform, PlatformId::Twitch);
  EXPECT_EQ(Rows()[2].platform, PlatformId::Kick);
}

TEST_F(SendTest, TheEchoIsExpectedForTwentySeconds) {
  SignInAndConnectAll();
  kick.Route("POST", "/public/v1/chat", [](const sim::HttpExchange&) {
    return HttpAnswer::Json(R"({"data":{"is_sent":true,"message_id":"m-1"},"message":"OK"})");
  });

  ASSERT_TRUE(Send(hub, endpoints, {PlatformId::Kick}, "gg").at(0).ok);
  clock.Advance(19999);
  hub.AddMessage(Viewer(PlatformId::Kick, "me", "1", "k-1", "gg"));
  EXPECT_EQ(Rows().size(), 1u);

  ASSERT_TRUE(Send(hub, endpoints, {PlatformId::Kick}, "gg").at(0).ok);
  clock.Advance(ChatHub::kEchoLifetimeMs);
  hub.AddMessage(Viewer(PlatformId::Kick, "me", "1", "k-2", "gg"));
  EXPECT_EQ(Bodies(), (std::vector<std::string>{"gg", "gg", "gg"}));
}

TEST_F(SendTest, EmptyTextOrNoTargetsDoesNothing) {
  SignInAndConnectAll();
  EXPECT_TRUE(Send(hub, endpoints, {PlatformId::Twitch, PlatformId::Kick}, "").empty());
  EXPECT_TRUE(Send(hub, endpoints, {}, "hello").empty());
  EXPECT_EQ(RequestsEverywhere(), 0u);
  EXPECT_TRUE(Rows().empty());
}

// Failures found before any request is made.
TEST_F(SendTest, MissingSignInsAndIdsFailWithoutARequest) {
  struct Case {
    const char* name;
    std::function<void(SendTest&)> setUp;  // from signed in and connected everywhere
    PlatformId target;
    std::string detail;
  };
  const std::vector<Case> cases{
      {"Twitch signed out", [](SendTest& t) { t.accounts.tokens.erase(PlatformId::Twitch); },
       PlatformId::Twitch, "not signed in"},
      {"Twitch token needs reconnecting",
       [](SendTest& t) { t.accounts.tokens[PlatformId::Twitch].needsReconnect = true; },
       PlatformId::Twitch, "not signed in"},
      {"Kick token empty",
       [](SendTest& t) { t.accounts.tokens[PlatformId::Kick].accessToken = ""; }, PlatformId::Kick,
       "not signed in"},
      {"YouTube signed out", [](SendTest& t) { t.accounts.tokens.erase(PlatformId::YouTube); },
       PlatformId::YouTube, "not signed in"},
      {"Twitch reader still connecting",
       [](SendTest& t) { t.hub.SetPlatformId(PlatformId::Twitch, ""); }, PlatformId::Twitch,
       "chat not connected yet"},
      {"Twitch user id unknown", [](SendTest& t) { t.accounts.userIds.erase(PlatformId::Twitch); },
       PlatformId::Twitch, "chat not connected yet"},
      {"Kick reader still connecting",
       [](SendTest& t) { t.hub.SetPlatformId(PlatformId::Kick, ""); }, PlatformId::Kick,
       "chat not connected yet"},
      {"Kick id not a number", [](SendTest& t) { t.hub.SetPlatformId(PlatformId::Kick, "668x"); },
       PlatformId::Kick, "unexpected Kick channel id"},
      {"no live chat", [](SendTest& t) { t.hub.SetPlatformId(PlatformId::YouTube, ""); },
       PlatformId::YouTube, "no live chat"},
      {"other platform", [](SendTest&) {}, PlatformId::TikTok, "not supported"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SignInAndConnectAll();
    c.setUp(*this);
    EXPECT_EQ(Send(hub, endpoints, {c.target}, "hello"),
              (std::vector<SendResult>{{c.target, false, c.detail}}));
  }
  EXPECT_EQ(RequestsEverywhere(), 0u);
  EXPECT_TRUE(Rows().empty());
}

// The platforms' refusals in their real shapes.
TEST_F(SendTest, RefusalsBecomeTheirReasons) {
  struct Case {
    const char* name;
    PlatformId target;
    HttpAnswer answer;
    std::string detail;
  };
  const std::vector<Case> cases{
      {"held back without a reason", PlatformId::Twitch,
       HttpAnswer::Json(R"({"data":[{"message_id":"","is_sent":false,)"
                        R"("drop_reason":{"code":"","message":""}}]})"),
       "Twitch held the message back"},
      {"held back with a reason", PlatformId::Twitch,
       HttpAnswer::Json(R"({"data":[{"message_id":"","is_sent":false,"drop_reason":)"
                        R"({"code":"msg_duplicate","message":"Your message is identical to the )"
                        R"(one you sent within the last 30 seconds."}}]})"),
       "Twitch held the message back: Your message is identical to the one you sent within the "
       "last 30 seconds."},
      {"Twitch 401", PlatformId::Twitch,
       HttpAnswer::Json(R"({"error":"Unauthorized","status":401,"message":"Invalid OAuth token"})",
                        401),
       "Twitch did not allow sending here: Invalid OAuth token"},
      {"Twitch 429", PlatformId::Twitch,
       HttpAnswer::Json(R"({"error":"Too Many Requests","status":429,)"
                        R"("message":"You are sending messages too quickly."})",
                        429),
       "You are sending messages too quickly."},
      {"Kick 500 with an HTML page", PlatformId::Kick,
       HttpAnswer::Text("<html><body><h1>500 Internal Server Error</h1></body></html>", "text/html",
                        500),
       "HTTP 500"},
      {"Kick 422 explained in data", PlatformId::Kick,
       HttpAnswer::Json(R"({"message":"Invalid request","data":"content is too long"})", 422),
       "Invalid request: content is too long"},
      {"YouTube 403", PlatformId::YouTube,
       HttpAnswer::Json(R"({"error":{"code":403,"message":"The live chat is no longer live.",)"
                        R"("errors":[{"message":"The live chat is no longer live.",)"
                        R"("domain":"youtube.liveChat","reason":"liveChatEnded"}]}})",
                        403),
       "The live chat is no longer live."},
  };
  SignInAndConnectAll();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path{c.target == PlatformId::Twitch ? "/helix/chat/messages"
                           : c.target == PlatformId::Kick ? "/public/v1/chat"
                                                          : "/youtube/v3/liveChat/messages"};
    (c.target == PlatformId::Twitch ? helix
     : c.target == PlatformId::Kick ? kick
                                    : dataApi)
        .AnswerNext("POST", path, 1, c.answer);
    EXPECT_EQ(Send(hub, endpoints, {c.target}, "hello"),
              (std::vector<SendResult>{{c.target, false, c.detail}}));
  }
  EXPECT_TRUE(Rows().empty());
  // A failed send expects no echo: the platform's copy, should it come after all, is shown.
  hub.AddMessage(Viewer(PlatformId::Kick, "me", "1", "k-1", "hello"));
  EXPECT_EQ(Rows().size(), 1u);
}

TEST_F(SendTest, AnUnreachableServiceGivesTheTransportText) {
  SignInAndConnectAll();
  {
    sim::SimServer gone;
    endpoints.youtubeApi = gone.BaseUrl();
  }

  EXPECT_EQ(
      Send(hub, endpoints, {PlatformId::YouTube}, "hello"),
      (std::vector<SendResult>{{PlatformId::YouTube, false, "network error (cannot connect)"}}));
}

// The program ends while a platform holds a send without answering: the send ends at once with
// "cancelled" instead of holding the window's close for the 15 s time-out.
TEST_F(SendTest, StoppingTheHubEndsASendTheServiceHolds) {
  SignInAndConnectAll();
  kick.Route("POST", "/public/v1/chat", [](const sim::HttpExchange&) {
    HttpAnswer answer;
    answer.stall = true;
    return answer;
  });
  auto sending = std::async(std::launch::async,
                            [&] { return Send(hub, endpoints, {PlatformId::Kick}, "hello"); });
  for (int i = 0; i < 500 && kick.Requests().empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds{10});
  }
  ASSERT_EQ(kick.Requests().size(), 1u);
  hub.Stop();
  ASSERT_EQ(sending.wait_for(std::chrono::seconds{5}), std::future_status::ready);
  EXPECT_EQ(sending.get(), (std::vector<SendResult>{{PlatformId::Kick, false, "cancelled"}}));
}

TEST_F(SendTest, ATokenEchoedByTheServiceIsNotShown) {
  SignInAndConnectAll();
  kick.Route("POST", "/public/v1/chat", [](const sim::HttpExchange& request) {
    return HttpAnswer::Json(
        R"({"message":"Unauthenticated: )" + request.Header("Authorization") + R"("})", 401);
  });

  const auto results{Send(hub, endpoints, {PlatformId::Kick}, "hello")};

  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].detail, "Unauthenticated: Bearer [token]");
}

}  // namespace
}  // namespace vlo::test
