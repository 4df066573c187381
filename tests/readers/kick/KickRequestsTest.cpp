#include <gtest/gtest.h>

#include "readers/kick/KickRequests.h"

namespace vlo {
namespace {

TEST(KickRequestsTest, ChannelLookupAnswers) {
  struct Case {
    const char* body;
    std::optional<KickChannelInfo> expected;
  };
  const Case cases[] = {
      {R"({"id":5,"user_id":42,"chatroom":{"id":123}})", KickChannelInfo{123, 5, "42"}},
      {R"({"chatroom":{"id":123}})", KickChannelInfo{123, 0, ""}},
      {R"({"id":"5","user_id":"u9","chatroom":{"id":12.7}})", KickChannelInfo{12, 0, "u9"}},
      {R"({"chatroom":{"id":"123"}})", std::nullopt},
      {R"({"chatroom":123})", std::nullopt},
      {R"({"chatroom":{"id":1e300}})", std::nullopt},
      {"<html>Just a moment...</html>", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseKickChannel(c.body), c.expected) << c.body;
}

TEST(KickRequestsTest, OwnChannelSlug) {
  EXPECT_EQ(ParseOwnChannelSlug(R"({"data":[{"slug":"me"},{"slug":"other"}]})"), "me");
  EXPECT_EQ(ParseOwnChannelSlug(R"({"data":[{"slug":77}]})"), "77");
  EXPECT_EQ(ParseOwnChannelSlug(R"({"data":[]})"), "");
  EXPECT_EQ(ParseOwnChannelSlug(R"({"data":{"slug":"me"}})"), "");
  EXPECT_EQ(ParseOwnChannelSlug("nope"), "");
}

TEST(KickRequestsTest, RealtimeBodyIsCompactWithSortedKeys) {
  EXPECT_EQ(RealtimeRequestBody(4294967295u),
            R"({"capabilities":{"accepted_providers":[{"provider":"pusher"}]},)"
            R"("client":{"id":"vlo-4294967295","type":"web"}})");
}

TEST(KickRequestsTest, RealtimeAnswers) {
  const auto answer = [](std::string connections) {
    return R"({"data":{"connections":)" + connections + "}}";
  };
  struct Case {
    std::string body;
    std::optional<PusherCredentials> expected;
  };
  const std::string good =
      R"({"provider":"pusher","credentials":{"app_key":"k32","cluster":"us2"}})";
  const Case cases[] = {
      {answer("[" + good + "]"), PusherCredentials{"k32", "us2"}},
      {answer(R"([{"provider":"ably","credentials":{"app_key":"a","cluster":"b"}},)" + good + "]"),
       PusherCredentials{"k32", "us2"}},
      {answer(R"([{"provider":"pusher","credentials":{"app_key":"k/1","cluster":"us2"}}])"),
       std::nullopt},
      {answer(R"([{"provider":"pusher","credentials":{"app_key":")" + std::string(65, 'a') +
              R"(","cluster":"us2"}}])"),
       std::nullopt},
      {answer(R"([{"provider":"pusher","credentials":{"app_key":"k","cluster":""}}])"),
       std::nullopt},
      {answer(R"([{"provider":"pusher"}])"), std::nullopt},
      {answer(R"({"provider":"pusher"})"), std::nullopt},
      {R"({"connections":[)" + good + "]}", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseRealtimeConnection(c.body), c.expected) << c.body;
}

TEST(KickRequestsTest, SocketUrlOriginAndFrames) {
  Endpoints endpoints;
  EXPECT_EQ(PusherSocketUrl(endpoints, {"abc", "us2"}),
            "wss://ws-us2.pusher.com/app/abc?protocol=7&client=js&version=8.4.0&flash=false");
  EXPECT_EQ(OriginOf("https://kick.com"), "https://kick.com");
  EXPECT_EQ(OriginOf("http://127.0.0.1:4000/prefix"), "http://127.0.0.1:4000");
  EXPECT_EQ(PusherSubscribeFrame("chatrooms.123.v2"),
            R"({"data":{"auth":"","channel":"chatrooms.123.v2"},"event":"pusher:subscribe"})");
}

}  // namespace
}  // namespace vlo
