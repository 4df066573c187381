#include "tests/actions/ActionsFixture.h"

namespace vlo::test {
namespace {

using sim::HttpAnswer;

// Page-reader messages carry ids the Data API does not know: the delete finds the Data API's
// copy of the message and deletes that one.
class YouTubePageDeleteTest : public ActionsTest {
 protected:
  static constexpr char kPageId[]{"ChwKGkNPX3ZtTXZQbS1RQ0ZXbkk1d1FkLVlnQmpn=="};
  static constexpr char kApiId[]{"LCC.EhwKGkNPX3ZtTXZQbS1RQ0ZXbkk1d1FkLVlnQmpn"};
  static constexpr char kAuthor[]{"UCrDkAvwZum-UTjHmzDI2iIw"};

  YouTubePageDeleteTest() {
    SignInAndConnectAll();
    dataApi.Route("DELETE", "/youtube/v3/liveChat/messages", [](const sim::HttpExchange& r) {
      if (r.Query("id") == kApiId) return HttpAnswer::Status(204);
      return HttpAnswer::Json(
          R"({"error":{"code":404,"message":"The liveChatMessage that you are trying to )"
          R"(delete cannot be found.","errors":[{"message":"The liveChatMessage that you are )"
          R"(trying to delete cannot be found.","domain":"youtube.liveChat",)"
          R"("reason":"liveChatMessageNotFound"}]}})",
          404);
    });
  }

  // The chat's recent items: a look-alike by someone else, an older message of the author,
  // then `match`.
  void ServeItems(const std::string& match) {
    const std::string items{R"({"kind":"youtube#liveChatMessageListResponse","items":[)"
                            R"({"id":"LCC.other","snippet":{"displayMessage":"first!",)"
                            R"("publishedAt":"2023-11-14T22:13:20.000+00:00"},)"
                            R"("authorDetails":{"channelId":"UCsomeoneelse"}},)"
                            R"({"id":"LCC.older","snippet":{"displayMessage":"hello",)"
                            R"("publishedAt":"2023-11-14T22:10:00.000+00:00"},)"
                            R"("authorDetails":{"channelId":"UCrDkAvwZum-UTjHmzDI2iIw"}},)" +
                            match + "]}"};
    dataApi.Route("GET", "/youtube/v3/liveChat/messages",
                  [items](const sim::HttpExchange&) { return HttpAnswer::Json(items); });
  }

  // A page-reader row at 2023-11-14T22:13:20Z.
  plx::ChatMessage PageMessage(std::string body) {
    plx::ChatMessage message{
        Viewer(PlatformId::YouTube, "Some Viewer", kAuthor, kPageId, std::move(body))};
    message.timestampMs = 1'700'000'000'000;
    hub.AddMessage(message);
    return message;
  }

  std::vector<std::string> DeletedIds() const {
    std::vector<std::string> ids;
    for (const auto& r : dataApi.Requests()) {
      if (r.method == "DELETE") ids.push_back(r.Query("id"));
    }
    return ids;
  }
};

TEST_F(YouTubePageDeleteTest, FindsTheMessageByAuthorAndText) {
  ServeItems(R"({"id":"LCC.EhwKGkNPX3ZtTXZQbS1RQ0ZXbkk1d1FkLVlnQmpn",)"
             R"("snippet":{"displayMessage":"first!","publishedAt":"2023-11-14T22:14:00Z"},)"
             R"("authorDetails":{"channelId":"UCrDkAvwZum-UTjHmzDI2iIw"}})");
  const plx::ChatMessage message{PageMessage("first!")};

  const ModerationResult result{Moderate(hub, endpoints, message, ModAction::Delete, 0)};

  EXPECT_EQ(result, (ModerationResult{true, "done"}));
  EXPECT_EQ(DeletedIds(), (std::vector<std::string>{kPageId, kApiId}));
  const auto requests{dataApi.Requests()};
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].query, "id=ChwKGkNPX3ZtTXZQbS1RQ0ZXbkk1d1FkLVlnQmpn%3D%3D");
  const sim::HttpExchange& lookup{requests[1]};
  EXPECT_EQ(lookup.method, "GET");
  EXPECT_EQ(lookup.path, "/youtube/v3/liveChat/messages");
  EXPECT_EQ(lookup.query,
            "liveChatId=Cg0KC2RRdzR3OVdnWGNRKicKGFVD&part=snippet,authorDetails&maxResults=200");
  EXPECT_EQ(lookup.Header("Authorization"), std::string{"Bearer "} + kYouTubeToken);
  EXPECT_EQ(lookup.Header("Client-Id"), "");
  EXPECT_EQ(lookup.Header("Content-Type"), "");
  EXPECT_EQ(lookup.body, "");

  EXPECT_EQ(Deleted(), (std::vector<bool>{true}));
  ReportModeration(hub, message, ModAction::Delete, 0, result);
  EXPECT_EQ(Rows().size(), 1u);  // no line: the row shows as deleted
}

TEST_F(YouTubePageDeleteTest, FindsTheMessageByAuthorAndTime) {
  // The two feeds spell the emoji differently, so only the author and the time match.
  ServeItems(R"({"id":"LCC.EhwKGkNPX3ZtTXZQbS1RQ0ZXbkk1d1FkLVlnQmpn",)"
             R"("snippet":{"displayMessage":"nice :clapping-hands:",)"
             R"("publishedAt":"2023-11-14T22:13:24.512+00:00"},)"
             R"("authorDetails":{"channelId":"UCrDkAvwZum-UTjHmzDI2iIw"}})");
  const plx::ChatMessage message{PageMessage("nice 👏")};

  EXPECT_EQ(Moderate(hub, endpoints, message, ModAction::Delete, 0),
            (ModerationResult{true, "done"}));
  EXPECT_EQ(DeletedIds(), (std::vector<std::string>{kPageId, kApiId}));
  EXPECT_EQ(Deleted(), (std::vector<bool>{true}));
}

TEST_F(YouTubePageDeleteTest, WithoutAMatchTheFirstAnswerStands) {
  ServeItems(R"({"id":"LCC.later","snippet":{"displayMessage":"something else",)"
             R"("publishedAt":"2023-11-14T22:13:25.001Z"},)"
             R"("authorDetails":{"channelId":"UCrDkAvwZum-UTjHmzDI2iIw"}})");
  const plx::ChatMessage message{PageMessage("first!")};

  EXPECT_EQ(Moderate(hub, endpoints, message, ModAction::Delete, 0),
            (ModerationResult{
                false, "The liveChatMessage that you are trying to delete cannot be found."}));
  EXPECT_EQ(DeletedIds(), (std::vector<std::string>{kPageId}));
  EXPECT_EQ(Deleted(), (std::vector<bool>{false}));
}

TEST_F(YouTubePageDeleteTest, WithoutALiveChatIdThereIsNoLookup) {
  hub.SetPlatformId(PlatformId::YouTube, "");
  const plx::ChatMessage message{PageMessage("first!")};

  EXPECT_FALSE(Moderate(hub, endpoints, message, ModAction::Delete, 0).ok);
  EXPECT_EQ(dataApi.Requests().size(), 1u);
}

}  // namespace
}  // namespace vlo::test
