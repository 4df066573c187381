#include <gtest/gtest.h>

#include "core/Endpoints.h"
#include "core/Json.h"

namespace vlo {
namespace {

TEST(Endpoints, OverridesSubsetAndRoundTrips) {
  Endpoints e;
  std::string error;
  ASSERT_TRUE(ApplyEndpointsJson(
      R"({"twitchChat": "ws://127.0.0.1:4000/", "kickWeb": "http://127.0.0.1:4001/prefix", "other": 1})",
      e, &error))
      << error;
  EXPECT_EQ(e.twitchChat, "ws://127.0.0.1:4000");
  EXPECT_EQ(e.kickWeb, "http://127.0.0.1:4001/prefix");
  EXPECT_EQ(e.youtubeWeb, Endpoints{}.youtubeWeb);

  Endpoints copy;
  ASSERT_TRUE(ApplyEndpointsJson(EndpointsToJson(e), copy, &error));
  EXPECT_EQ(copy, e);
}

TEST(Endpoints, RejectsUnusableDocumentsAndKeepsValues) {
  for (const char* text : {"[]", "not json", R"({"portal": 5})", R"({"portal": "ftp://x"})",
                           R"({"portal": "localhost:80"})"}) {
    Endpoints e;
    std::string error;
    EXPECT_FALSE(ApplyEndpointsJson(text, e, &error)) << text;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(e, Endpoints{});
  }
}

TEST(Endpoints, PusherPatternAndHosts) {
  Endpoints e;
  EXPECT_EQ(e.PusherBase("us2"), "wss://ws-us2.pusher.com");
  e.pusher = "ws://127.0.0.1:9000";
  EXPECT_EQ(e.PusherBase("us2"), "ws://127.0.0.1:9000");
  EXPECT_EQ(HostOf("https://www.youtube.com/path"), "www.youtube.com");
  EXPECT_EQ(HostOf("ws://127.0.0.1:9000"), "127.0.0.1");
  EXPECT_EQ(HostOf("kick.com"), "kick.com");
}

TEST(LenientJson, MembersOfWrongTypeReadAsAbsent) {
  const json::Json doc = json::ParseObject(
      R"({"s": "text", "i": 42, "big": 18446744073709551615, "f": 1.5, "b": true, "o": {"x": 1}, "a": [1]})");
  EXPECT_EQ(json::TextMember(doc, "s"), "text");
  EXPECT_EQ(json::TextMember(doc, "i"), "42");  // integers read as text take their decimal form
  EXPECT_EQ(json::TextMember(doc, "big"), "18446744073709551615");
  EXPECT_EQ(json::TextMember(doc, "f"), std::nullopt);
  EXPECT_EQ(json::IntMember(doc, "i"), 42);
  EXPECT_EQ(json::IntMember(doc, "big"), std::nullopt);
  EXPECT_EQ(json::IntMember(doc, "f"), std::nullopt);
  EXPECT_EQ(json::IntMember(doc, "s"), std::nullopt);
  EXPECT_EQ(json::BoolMember(doc, "b"), true);
  EXPECT_EQ(json::BoolMember(doc, "i"), std::nullopt);
  EXPECT_EQ(json::ObjectMember(doc, "o").size(), 1u);
  EXPECT_TRUE(json::ObjectMember(doc, "a").empty());
  EXPECT_EQ(json::ArrayMember(doc, "a").size(), 1u);
  EXPECT_TRUE(json::ArrayMember(doc, "missing").is_array());
  EXPECT_EQ(json::TextOr(doc, "missing", "fallback"), "fallback");

  for (const char* bad : {"", "[1]", "\"x\"", "{", "nul"}) {
    const json::Json empty = json::ParseObject(bad);
    EXPECT_TRUE(empty.is_object() && empty.empty()) << bad;
  }
  EXPECT_EQ(json::TextMember(json::Json::array(), "x"), std::nullopt);
  EXPECT_EQ(json::Dump(json::Json{{"b", 1}, {"a", "\xff"}}), R"({"a":"�","b":1})");
}

TEST(LenientJson, DeepNestingIsRefusedBeforeItReachesTheWriter) {
  const auto nested = [](int depth, std::string_view inner = "1") {
    std::string text;
    for (int i{0}; i < depth; ++i) text += i % 2 ? "[" : "{\"k\":";
    text += inner;
    for (int i{depth}; i-- > 0;) text += i % 2 ? "]" : "}";
    return text;
  };
  EXPECT_FALSE(json::ParseAny(nested(json::kMaxNesting)).is_discarded());
  EXPECT_TRUE(json::ParseAny(nested(json::kMaxNesting + 1)).is_discarded());
  EXPECT_TRUE(json::ParseObject(nested(200'000)).empty());
  // Brackets and escaped quotes inside strings are text, not nesting.
  const std::string brackets = "\"" + std::string(1000, '[') + "\\\"{{\"";
  EXPECT_EQ(json::ParseAny(nested(json::kMaxNesting, brackets)).dump().size(),
            json::Dump(json::ParseAny(nested(json::kMaxNesting, brackets))).size());
  EXPECT_FALSE(json::ParseAny(nested(json::kMaxNesting, brackets)).is_discarded());
}

}  // namespace
}  // namespace vlo
