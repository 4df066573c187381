// The simulated Data API calls for sending and moderating in a live chat: their checks, answers,
// and what each accepted call shows in the page feed and in the Data API's own list, each with
// its own message ids.

#include "readers/youtube/PageChat.h"
#include "sim/youtube/YouTubeSimEvents.h"
#include "tests/sim/PlatformApiFixture.h"

namespace vlo::sim::testing_platform {
namespace {

constexpr PlatformId kYouTube = PlatformId::YouTube;
constexpr const char* kChat = "velaro-demo-live-chat";
const std::string kOwner = YouTubeDemo::kChannelId;

// The page feed of the demo chat from now on, read as the page reader reads it.
class PageFeed {
 public:
  explicit PageFeed(const std::string& web) : web_{web} {
    const plx::HttpResponse page =
        plx::Get(web_ + "/live_chat?v=" + std::string{YouTubeDemo::kVideoId}, 5000);
    std::optional<PageChat> chat = InitPageChat(page.body);
    EXPECT_TRUE(chat) << "no chat on the page";
    if (chat) {
      version_ = chat->clientVersion;
      continuation_ = chat->continuation;
    }
  }

  // The actions since the last poll, as the site sends them.
  Json Poll() {
    plx::HttpRequest request;
    request.method = "POST";
    request.url = web_ + "/youtubei/v1/live_chat/get_live_chat?prettyPrint=false";
    request.body = BuildContinuationRequest(version_, continuation_);
    request.contentType = "application/json";
    request.timeoutMs = 5000;
    const plx::HttpResponse response = plx::Perform(request);
    if (const std::optional<PageChat> next = ParseContinuationResponse(response.body)) {
      continuation_ = next->continuation;
    }
    const Json doc = json::ParseObject(response.body);
    return json::ArrayMember(
        json::ObjectMember(json::ObjectMember(doc, "continuationContents"), "liveChatContinuation"),
        "actions");
  }

 private:
  std::string web_;
  std::string version_;
  std::string continuation_;
};

// The first action of that kind, or null.
Json ActionOf(const Json& actions, const std::string& kind) {
  for (const Json& action : actions) {
    if (action.contains(kind)) return action[kind];
  }
  return nullptr;
}

class LiveChatApiTest : public PlatformApiTest {
 protected:
  std::string Url(const std::string& path) { return world.GetEndpoints().youtubeApi + path; }

  Reply Insert(const std::string& headers, const std::string& text,
               const std::string& liveChatId = kChat) {
    return Call("POST", Url(std::string{LiveChatApi::kMessagesPath} + "?part=snippet"), headers,
                json::Dump(Json{{"snippet",
                                 {{"liveChatId", liveChatId},
                                  {"textMessageDetails", {{"messageText", text}}},
                                  {"type", "textMessageEvent"}}}}));
  }
  Reply Delete(const std::string& headers, const std::string& id) {
    return Call("DELETE",
                Url(std::string{LiveChatApi::kMessagesPath} + "?id=" + plx::PercentEncode(id)),
                headers);
  }
  Reply Ban(const std::string& headers, const std::string& channelId, std::optional<int> seconds,
            const std::string& liveChatId = kChat) {
    Json snippet{{"bannedUserDetails", {{"channelId", channelId}}}, {"liveChatId", liveChatId}};
    snippet["type"] = seconds ? "temporary" : "permanent";
    if (seconds) snippet["banDurationSeconds"] = *seconds;
    return Call("POST", Url(std::string{LiveChatApi::kBansPath} + "?part=snippet"), headers,
                json::Dump(Json{{"snippet", snippet}}));
  }
  // The Data API's list of the chat, as the program's moderation looks a message up.
  Json List() {
    const Reply reply = Call("GET",
                             Url(std::string{LiveChatApi::kMessagesPath} + "?liveChatId=" + kChat +
                                 "&part=snippet,authorDetails&maxResults=200"),
                             As(Who::Owner));
    EXPECT_EQ(reply.status, 200) << reply.raw;
    return json::ArrayMember(reply.body, "items");
  }
  // The last list item of that type, or null.
  Json LastItem(const std::string& type) {
    const Json items = List();
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
      if ((*it)["snippet"]["type"] == type) return *it;
    }
    return nullptr;
  }

  // A viewer's message pushed into the demo chat as the generator pushes them; its page id.
  std::string ViewerSays(const std::string& channelId, const std::string& text) {
    YouTubeViewer viewer;
    viewer.name = "Some Viewer";
    viewer.channelId = channelId;
    return world.YouTube().PushText(YouTubeDemo::kVideoId, viewer, text);
  }

  std::string As(Who who) { return plx::BearerHeaders(Token(kYouTube, who), ""); }
  std::string Reason(const Reply& reply) {
    const Json& errors = reply.body["error"]["errors"];
    return errors.is_array() && !errors.empty() ? errors[0].value("reason", "") : "";
  }
};

TEST_F(LiveChatApiTest, EveryCallChecksTokenScopeAndRole) {
  enum class Call_ { Insert, Delete, Ban };
  enum class Credential { None, Made, NoScope, Good };
  struct Case {
    Call_ call;
    Credential credential;
    Who who;
    int status;
    const char* reason;
  };
  const Case cases[] = {
      {Call_::Insert, Credential::None, Who::Owner, 401, "authError"},
      {Call_::Insert, Credential::Made, Who::Owner, 401, "authError"},
      {Call_::Insert, Credential::NoScope, Who::Owner, 403, "insufficientPermissions"},
      {Call_::Insert, Credential::Good, Who::Viewer, 200, ""},  // anyone may chat
      {Call_::Delete, Credential::None, Who::Owner, 401, "authError"},
      {Call_::Delete, Credential::Made, Who::Owner, 401, "authError"},
      {Call_::Delete, Credential::NoScope, Who::Owner, 403, "insufficientPermissions"},
      {Call_::Delete, Credential::Good, Who::Viewer, 403, "forbidden"},
      {Call_::Delete, Credential::Good, Who::Moderator, 204, ""},
      {Call_::Delete, Credential::Good, Who::Owner, 204, ""},
      {Call_::Ban, Credential::None, Who::Owner, 401, "authError"},
      {Call_::Ban, Credential::Made, Who::Owner, 401, "authError"},
      {Call_::Ban, Credential::NoScope, Who::Owner, 403, "insufficientPermissions"},
      {Call_::Ban, Credential::Good, Who::Viewer, 403, "forbidden"},
      {Call_::Ban, Credential::Good, Who::Moderator, 200, ""},
      {Call_::Ban, Credential::Good, Who::Owner, 200, ""},
  };
  size_t accepted{0};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(i);
    std::string headers;
    if (c.credential == Credential::Made) headers = plx::BearerHeaders("made-up", "");
    if (c.credential == Credential::NoScope) {
      headers = plx::BearerHeaders(
          Token(kYouTube, c.who, {"https://www.googleapis.com/auth/youtube.readonly"}), "");
    }
    if (c.credential == Credential::Good) headers = As(c.who);
    Reply reply;
    switch (c.call) {
      case Call_::Insert:
        reply = Insert(headers, "case " + std::to_string(i));
        break;
      case Call_::Delete:
        reply = Delete(headers, ApiMessageId(ViewerSays("UCsomebody", "delete me")));
        break;
      case Call_::Ban:
        reply = Ban(headers, "UCbanned" + std::to_string(i), 600);
        break;
    }
    EXPECT_EQ(reply.status, c.status) << reply.raw;
    if (c.status >= 400) {
      EXPECT_EQ(reply.body["error"]["code"], c.status);
      EXPECT_EQ(Reason(reply), c.reason);
    } else {
      ++accepted;
    }
  }
  // Only the accepted calls show in the chat: a last one arrives right after them.
  ASSERT_EQ(Insert(As(Who::Owner), "last").status, 200);
  ASSERT_TRUE(world.YouTubeApi().Deliveries().WaitFor(accepted + 1));
  const std::vector<ChatDelivery> deliveries = world.YouTubeApi().Deliveries().All();
  ASSERT_EQ(deliveries.size(), accepted + 1);
  EXPECT_EQ(deliveries.back().kind, ChatDelivery::Kind::Echo);

  const Reply missing = Insert({}, "x");
  EXPECT_TRUE(json::TextOr(missing.body["error"], "message")
                  .starts_with("Request is missing required authentication credential"))
      << missing.raw;
}

TEST_F(LiveChatApiTest, AnInsertedMessageShowsInBothFeedsUnderTheirOwnIds) {
  PageFeed feed{world.GetEndpoints().youtubeWeb};
  const Reply reply = Insert(As(Who::Owner), "hello youtube");
  ASSERT_EQ(reply.status, 200) << reply.raw;
  EXPECT_EQ(reply.body["kind"], "youtube#liveChatMessage");
  const std::string apiId = reply.body["id"];
  const Json& snippet = reply.body["snippet"];
  EXPECT_EQ(snippet["type"], "textMessageEvent");
  EXPECT_EQ(snippet["liveChatId"], kChat);
  EXPECT_EQ(snippet["authorChannelId"], kOwner);
  EXPECT_EQ(snippet["displayMessage"], "hello youtube");
  EXPECT_EQ(snippet["textMessageDetails"]["messageText"], "hello youtube");
  EXPECT_FALSE(reply.body.contains("authorDetails"));  // only the parts asked for

  ASSERT_TRUE(world.YouTubeApi().Deliveries().WaitFor(1));
  const std::string pageId = world.YouTubeApi().Deliveries().All()[0].text;
  EXPECT_NE(pageId, apiId);
  const Json renderer =
      ActionOf(feed.Poll(), "addChatItemAction")["item"]["liveChatTextMessageRenderer"];
  ASSERT_TRUE(renderer.is_object());
  EXPECT_EQ(renderer["id"], pageId);
  EXPECT_EQ(renderer["authorExternalChannelId"], kOwner);
  EXPECT_EQ(renderer["authorName"]["simpleText"], YouTubeDemo::kTitle);
  EXPECT_EQ(renderer["authorBadges"][0]["liveChatAuthorBadgeRenderer"]["icon"]["iconType"],
            "OWNER");

  const Json item = LastItem("textMessageEvent");
  ASSERT_TRUE(item.is_object());
  EXPECT_EQ(item["id"], apiId);
  EXPECT_EQ(item["authorDetails"]["channelId"], kOwner);
  EXPECT_EQ(item["authorDetails"]["isChatOwner"], true);
  EXPECT_EQ(item["snippet"]["displayMessage"], "hello youtube");
  EXPECT_NEAR(plx::ParseIsoTimeMs(item["snippet"]["publishedAt"].get<std::string>()), WallMs(),
              5000);
}

TEST_F(LiveChatApiTest, DeletionTakesTheDataApiIdAndMarksThePageItemDeleted) {
  const std::string pageId = ViewerSays("UCsomebody", "spam");
  PageFeed feed{world.GetEndpoints().youtubeWeb};
  const std::string owner = As(Who::Owner);
  // The page's id of the message is unknown to the Data API.
  const Reply unknown = Delete(owner, pageId);
  EXPECT_EQ(unknown.status, 404);
  EXPECT_EQ(Reason(unknown), "liveChatMessageNotFound");

  ASSERT_EQ(Delete(owner, ApiMessageId(pageId)).status, 204);
  ASSERT_TRUE(world.YouTubeApi().Deliveries().WaitFor(1));
  const Json marked = ActionOf(feed.Poll(), "markChatItemAsDeletedAction");
  ASSERT_TRUE(marked.is_object());
  EXPECT_EQ(marked["targetItemId"], pageId);
  EXPECT_EQ(marked["deletedStateMessage"]["runs"][0]["text"], "[message deleted]");
  const Json event = LastItem("messageDeletedEvent");
  ASSERT_TRUE(event.is_object());
  EXPECT_EQ(event["snippet"]["messageDeletedDetails"]["deletedMessageId"], ApiMessageId(pageId));

  EXPECT_EQ(Reason(Delete(owner, ApiMessageId(pageId))), "liveChatMessageNotFound");  // gone
}

TEST_F(LiveChatApiTest, BansMarkTheAuthorsItemsDeleted) {
  ViewerSays("UCsomebody", "hi");
  PageFeed feed{world.GetEndpoints().youtubeWeb};
  const std::string owner = As(Who::Owner);

  const Reply timeout = Ban(owner, "UCsomebody", 600);
  ASSERT_EQ(timeout.status, 200) << timeout.raw;
  EXPECT_EQ(timeout.body["kind"], "youtube#liveChatBan");
  EXPECT_EQ(timeout.body["snippet"]["type"], "temporary");
  EXPECT_EQ(timeout.body["snippet"]["banDurationSeconds"], 600);
  EXPECT_EQ(timeout.body["snippet"]["bannedUserDetails"]["channelId"], "UCsomebody");
  EXPECT_EQ(timeout.body["snippet"]["bannedUserDetails"]["displayName"], "Some Viewer");
  ASSERT_TRUE(world.YouTubeApi().Deliveries().WaitFor(1));
  const Json marked = ActionOf(feed.Poll(), "markChatItemsByAuthorAsDeletedAction");
  ASSERT_TRUE(marked.is_object());
  EXPECT_EQ(marked["externalChannelId"], "UCsomebody");
  const Json event = LastItem("userBannedEvent");
  ASSERT_TRUE(event.is_object());
  const Json& details = event["snippet"]["userBannedDetails"];
  EXPECT_EQ(details["bannedUserDetails"]["channelId"], "UCsomebody");
  EXPECT_EQ(details["banType"], "temporary");
  EXPECT_EQ(details["banDurationSeconds"], 600);

  ASSERT_EQ(Ban(owner, "UCother", std::nullopt).status, 200);
  ASSERT_TRUE(world.YouTubeApi().Deliveries().WaitFor(2));
  EXPECT_EQ(LastItem("userBannedEvent")["snippet"]["userBannedDetails"]["banType"], "permanent");

  const Reply ownerBan = Ban(owner, kOwner, std::nullopt);
  EXPECT_EQ(ownerBan.status, 400);
  EXPECT_EQ(ownerBan.body["error"]["message"], "The owner of the live chat cannot be banned.");
  EXPECT_EQ(Reason(Ban(owner, "UCother", 60, "no-such-chat")), "liveChatNotFound");
  EXPECT_EQ(Reason(Insert(owner, "hi", "no-such-chat")), "liveChatNotFound");
  world.YouTube().EndStream(kOwner);
  EXPECT_EQ(Reason(Insert(owner, "hi")), "liveChatEnded");
  EXPECT_EQ(Reason(Ban(owner, "UCother", 60)), "liveChatEnded");
}

TEST_F(LiveChatApiTest, AQuotaRefusalIsScriptedAheadOfTheRealAnswer) {
  world.YouTubeApiServer().AnswerNext("POST", LiveChatApi::kMessagesPath, 1,
                                      DataApiQuotaExceeded());
  const std::string owner = As(Who::Owner);
  const Reply refused = Insert(owner, "one");
  EXPECT_EQ(refused.status, 403);
  EXPECT_EQ(Reason(refused), "quotaExceeded");
  ASSERT_EQ(Insert(owner, "two").status, 200);
  ASSERT_TRUE(world.YouTubeApi().Deliveries().WaitFor(1));
  EXPECT_EQ(world.YouTubeApi().Deliveries().All().size(), 1u);
}

}  // namespace
}  // namespace vlo::sim::testing_platform
