#include <gtest/gtest.h>

#include "readers/youtube/PageChat.h"

namespace vlo {
namespace {

using json::Json;

constexpr const char* kVersion = R"("INNERTUBE_CLIENT_VERSION":"2.20240501.01.00")";

// The embedded data of a live chat page with the two-entry view menu.
std::string Data(const char* continuations = R"([{"timedContinuationData":{"continuation":"T1"}}])",
                 const char* menu = R"([
      {"selected":true,"continuation":{"reloadContinuationData":{"continuation":"TOP"}}},
      {"selected":false,"continuation":{"reloadContinuationData":{"continuation":"LIVE"}}}])") {
  return std::string{R"({"contents":{"liveChatRenderer":{"continuations":)"} + continuations +
         R"(,"actions":[{"addChatItemAction":{"item":{"liveChatTextMessageRenderer":{"id":"M1",
           "message":{"simpleText":"brace } and \" quote {"},"authorName":{"simpleText":"Ann"}}}}}],
         "header":{"liveChatHeaderRenderer":{"viewSelector":{"sortFilterSubMenuRenderer":{
           "subMenuItems":)" +
         menu + "}}}}}}}";
}

std::string Page(const std::string& data,
                 const std::string& marker = "window[\"ytInitialData\"] = ",
                 const char* version = kVersion) {
  return std::string{"<html><script>ytcfg.set({"} + version + "});</script><script>" + marker +
         data + ";</script></html>";
}

TEST(InitPageChat, ReadsVersionFullChatContinuationAndItems) {
  const auto chat = InitPageChat(Page(Data()));
  ASSERT_TRUE(chat);
  EXPECT_EQ(chat->clientVersion, "2.20240501.01.00");
  EXPECT_EQ(chat->continuation, "LIVE");
  ASSERT_EQ(chat->items.size(), 1u);
  EXPECT_EQ(Json::parse(chat->items[0])["snippet"]["displayMessage"], "brace } and \" quote {");
}

TEST(InitPageChat, Table) {
  struct Case {
    const char* name;
    std::string html;
    std::optional<std::string> continuation;  // absent = no result
  };
  const std::string noMenu = Data(R"([{"timedContinuationData":{"continuation":"T1"}}])", "[]");
  const Case cases[] = {
      {"older marker", Page(Data(), "var ytInitialData = "), "LIVE"},
      {"menu of one entry keeps the feed's token",
       Page(Data(R"([{"timedContinuationData":{"continuation":"T1"}}])",
                 R"([{"continuation":{"reloadContinuationData":{"continuation":"ONLY"}}}])")),
       "T1"},
      {"no menu", Page(noMenu), "T1"},
      {"menu with only selected entries",
       Page(Data(R"([{"timedContinuationData":{"continuation":"T1"}}])", R"([
          {"selected":true,"continuation":{"reloadContinuationData":{"continuation":"A"}}},
          {"selected":true,"continuation":{"reloadContinuationData":{"continuation":"B"}}}])")),
       "T1"},
      {"'selected' must be the boolean true",
       Page(Data(R"([{"timedContinuationData":{"continuation":"T1"}}])", R"([
          {"selected":"true","continuation":{"reloadContinuationData":{"continuation":"A"}}},
          {"selected":false,"continuation":{"reloadContinuationData":{"continuation":"B"}}}])")),
       "A"},
      {"continuation kinds in order, integers as text",
       Page(Data(R"([{"reloadContinuationData":{"continuation":""}},
                     {"playerSeekContinuationData":{"continuation":"no"},
                      "reloadContinuationData":{"continuation":"R"},
                      "invalidationContinuationData":{"continuation":42}}])",
                 "[]")),
       "42"},
      {"brace 16 characters past the marker",
       Page(noMenu, "ytInitialData\"] = " + std::string(16, ' ')), "T1"},
      {"missing version key", Page(noMenu, "var ytInitialData = ", R"("OTHER":"x")"), std::nullopt},
      {"empty version", Page(noMenu, "var ytInitialData = ", R"("INNERTUBE_CLIENT_VERSION":"")"),
       std::nullopt},
      {"version quote too far",
       Page(noMenu, "var ytInitialData = ",
            R"("INNERTUBE_CLIENT_VERSION":"2.2024050101000000000000000000000000000000000000")"),
       std::nullopt},
      {"no marker", Page(noMenu, "var somethingElse = "), std::nullopt},
      {"brace 17 characters past the marker",
       Page(noMenu, "ytInitialData\"] = " + std::string(17, ' ')), std::nullopt},
      {"unbalanced braces", Page(noMenu.substr(0, noMenu.size() - 1)), std::nullopt},
      {"no live chat renderer", Page(R"({"contents":{"messageRenderer":{}}})"), std::nullopt},
      {"no continuation", Page(Data("[]", "[]")), std::nullopt},
      {"data not JSON", Page("{contents: nope}"), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto chat = InitPageChat(c.html);
    ASSERT_EQ(chat.has_value(), c.continuation.has_value());
    if (chat) {
      EXPECT_EQ(chat->continuation, *c.continuation);
    }
  }
}

TEST(InitPageChat, QuoteBoundaryOfTheVersion) {
  // The key is 28 characters; a version of 35 puts its closing quote 63 after the key's start.
  const std::string ok = "\"INNERTUBE_CLIENT_VERSION\":\"" + std::string(35, '1') + "\"";
  const std::string far = "\"INNERTUBE_CLIENT_VERSION\":\"" + std::string(36, '1') + "\"";
  EXPECT_TRUE(InitPageChat(Page(Data(), "var ytInitialData = ", ok.c_str())));
  EXPECT_FALSE(InitPageChat(Page(Data(), "var ytInitialData = ", far.c_str())));
}

TEST(BuildContinuationRequest, KeysInOrderAndStringsEscaped) {
  EXPECT_EQ(BuildContinuationRequest("2.1", "ab\"c"),
            R"({"context":{"client":{"clientName":"WEB","clientVersion":"2.1","hl":"en"}},)"
            R"("continuation":"ab\"c"})");
}

TEST(ParseContinuationResponse, Table) {
  struct Case {
    const char* name;
    const char* body;
    std::optional<std::string> continuation;
    size_t items;
  };
  const Case cases[] = {
      {"feed", R"({"responseContext":{},"continuationContents":{"liveChatContinuation":{
          "continuations":[{"invalidationContinuationData":{"continuation":"N"}}],
          "actions":[{"addChatItemAction":{"item":{"liveChatTextMessageRenderer":{
            "id":"a","message":{"simpleText":"x"},"authorName":{"simpleText":"A"}}}}},
            {"removeChatItemAction":{"targetItemId":"a"}}]}}})",
       "N", 2},
      {"feed without continuation", R"({"continuationContents":{"liveChatContinuation":{}}})", "",
       0},
      {"ended", R"({"responseContext":{"visitorData":"x"}})", "", 0},
      {"ended beats a broken feed", R"({"responseContext":{},"continuationContents":{
          "liveChatContinuation":"oops"}})",
       "", 0},
      {"neither", R"({"error":{"code":400}})", std::nullopt, 0},
      {"not an object", R"([1,2])", std::nullopt, 0},
      {"not JSON", "<html>", std::nullopt, 0},
      {"empty", "", std::nullopt, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto chat = ParseContinuationResponse(c.body);
    ASSERT_EQ(chat.has_value(), c.continuation.has_value());
    if (!chat) continue;
    EXPECT_EQ(chat->continuation, *c.continuation);
    EXPECT_EQ(chat->items.size(), c.items);
    EXPECT_TRUE(chat->clientVersion.empty());
  }
}

}  // namespace
}  // namespace vlo
