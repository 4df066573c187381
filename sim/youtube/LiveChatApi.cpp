#include "sim/youtube/LiveChatApi.h"

#include <algorithm>

#include "core/Json.h"
#include "sim/platform/ApiAnswers.h"
#include "sim/youtube/YouTubeSimEvents.h"

namespace vlo::sim {
namespace {

using Json = json::Json;

constexpr const char* kCredentials =
    "Expected OAuth 2 access token, login cookie or other valid authentication credential.";

bool PartHas(const std::string& part, std::string_view name) {
  size_t start = 0;
  while (start <= part.size()) {
    const size_t end = std::min(part.find(',', start), part.size());
    if (std::string_view{part}.substr(start, end - start) == name) return true;
    start = end + 1;
  }
  return false;
}

HttpAnswer Required(std::string_view name) {
  return DataApiError(400, "required", "Required parameter: " + std::string{name});
}

HttpAnswer ChatNotFound() {
  return DataApiError(404, "liveChatNotFound", "The live chat cannot be found.");
}

HttpAnswer ChatEnded() {
  return DataApiError(403, "liveChatEnded", "The specified live chat is no longer live.");
}

}  // namespace

LiveChatApi::LiveChatApi(SimServer& api, YouTubeSim& youtube, CallerCheck check)
    : api_{api}, youtube_{youtube}, check_{std::move(check)} {
  api_.Route("POST", kMessagesPath, [this](const HttpExchange& r) { return Insert(r); });
  api_.Route("DELETE", kMessagesPath, [this](const HttpExchange& r) { return Delete(r); });
  api_.Route("POST", kBansPath, [this](const HttpExchange& r) { return Ban(r); });
}

LiveChatApi::~LiveChatApi() {
  // No handler or task may run into what goes below.
  api_.Stop();
  tasks_.Stop();
}

void LiveChatApi::AddModerator(std::string channelId, std::string userChannelId) {
  std::lock_guard lock{mutex_};
  moderators_.emplace(std::move(channelId), std::move(userChannelId));
}

void LiveChatApi::SetDelayMs(int ms) {
  std::lock_guard lock{mutex_};
  delayMs_ = std::max(0, ms);
}

std::optional<HttpAnswer> LiveChatApi::Authorize(const HttpExchange& request,
                                                 ApiCaller& caller) const {
  const std::string token = BearerTokenOf(request);
  if (token.empty()) {
    return DataApiError(
        401, "authError",
        std::string{"Request is missing required authentication credential. "} + kCredentials);
  }
  std::optional<ApiCaller> found = check_ ? check_(token) : std::nullopt;
  if (!found) {
    return DataApiError(
        401, "authError",
        std::string{"Request had invalid authentication credentials. "} + kCredentials);
  }
  if (!HasScope(*found, "https://www.googleapis.com/auth/youtube.force-ssl") &&
      !HasScope(*found, "https://www.googleapis.com/auth/youtube")) {
    return DataApiError(403, "insufficientPermissions",
                        "Request had insufficient authentication scopes.");
  }
  caller = std::move(*found);
  return std::nullopt;
}

bool LiveChatApi::MayModerate(const std::string& ownerChannelId,
                              const std::string& channelId) const {
  std::lock_guard lock{mutex_};
  return !channelId.empty() &&
         (channelId == ownerChannelId || moderators_.contains({ownerChannelId, channelId}));
}

YouTubeViewer LiveChatApi::ViewerOf(const ApiCaller& caller,
                                    const std::string& ownerChannelId) const {
  YouTubeViewer viewer;
  viewer.name = caller.displayName.empty() ? caller.login : caller.displayName;
  viewer.channelId = caller.id;
  viewer.owner = caller.id == ownerChannelId;
  std::lock_guard lock{mutex_};
  viewer.moderator = !viewer.owner && moderators_.contains({ownerChannelId, caller.id});
  return viewer;
}

void LiveChatApi::Deliver(ChatDelivery::Kind kind, std::string id, std::string videoId,
                          YouTubeEvent event) {
  int delayMs{0};
  {
    std::lock_guard lock{mutex_};
    delayMs = delayMs_;
  }
  tasks_.Post(delayMs, [this, kind, id = std::move(id), videoId = std::move(videoId),
                        event = std::move(event)] {
    std::string pageId = youtube_.Push(videoId, event);
    deliveries_.Add({kind, id, std::move(pageId), 0});
  });
}

HttpAnswer LiveChatApi::Insert(const HttpExchange& request) {
  ApiCaller caller;
  if (auto refused = Authorize(request, caller)) return *refused;
  const std::string part = request.Query("part");
  if (!PartHas(part, "snippet")) return Required("part");
  const Json body = json::ParseObject(request.body);
  const Json& snippet = json::ObjectMember(body, "snippet");
  const std::string liveChatId = json::TextOr(snippet, "liveChatId");
  const std::string text =
      json::TextOr(json::ObjectMember(snippet, "textMessageDetails"), "messageText");
  if (liveChatId.empty()) return Required("snippet.liveChatId");
  if (json::TextOr(snippet, "type") != "textMessageEvent") {
    return DataApiError(400, "invalidValue", "The snippet.type value is not supported.");
  }
  if (text.empty()) return Required("snippet.textMessageDetails.messageText");
  const std::optional<YouTubeSim::LiveChatRef> chat = youtube_.FindLiveChat(liveChatId);
  if (!chat) return ChatNotFound();
  if (chat->ended) return ChatEnded();

  YouTubeEvent event;
  event.id = youtube_.NewEventId();
  event.viewer = ViewerOf(caller, chat->channelId);
  event.text = text;
  event.timeMs = WallMs();
  Json resource = ApiItem(event, liveChatId);
  if (!PartHas(part, "authorDetails")) resource.erase("authorDetails");
  const std::string apiId = ApiMessageId(event.id);
  Deliver(ChatDelivery::Kind::Echo, apiId, chat->videoId, std::move(event));
  return HttpAnswer::Json(json::Dump(resource));
}

HttpAnswer LiveChatApi::Delete(const HttpExchange& request) {
  ApiCaller caller;
  if (auto refused = Authorize(request, caller)) return *refused;
  const std::string id = request.Query("id");
  if (id.empty()) return Required("id");
  const std::optional<YouTubeSim::FoundMessage> found = youtube_.FindApiMessage(id);
  if (!found) {
    return DataApiError(404, "liveChatMessageNotFound",
                        "The live chat message that you are trying to delete cannot be found.");
  }
  if (!MayModerate(found->chat.channelId, caller.id)) {
    return DataApiError(403, "forbidden",
                        "The request is not properly authorized to delete the specified live "
                        "chat message.");
  }
  YouTubeEvent removal;
  removal.kind = YouTubeEventKind::Delete;
  removal.viewer = ViewerOf(caller, found->chat.channelId);
  removal.targetId = found->event.id;
  removal.byModerator = true;
  Deliver(ChatDelivery::Kind::Deletion, id, found->chat.videoId, std::move(removal));
  return HttpAnswer::Status(204);
}

HttpAnswer LiveChatApi::Ban(const HttpExchange& request) {
  ApiCaller caller;
  if (auto refused = Authorize(request, caller)) return *refused;
  if (!PartHas(request.Query("part"), "snippet")) return Required("part");
  const Json body = json::ParseObject(request.body);
  const Json& snippet = json::ObjectMember(body, "snippet");
  const std::string liveChatId = json::TextOr(snippet, "liveChatId");
  const std::string type = json::TextOr(snippet, "type");
  const std::string channelId =
      json::TextOr(json::ObjectMember(snippet, "bannedUserDetails"), "channelId");
  if (liveChatId.empty()) return Required("snippet.liveChatId");
  if (channelId.empty()) return Required("snippet.bannedUserDetails.channelId");
  if (type != "permanent" && type != "temporary") {
    return DataApiError(400, "invalidValue", "The snippet.type value is not supported.");
  }
  int64_t seconds{0};
  if (type == "temporary") {
    const std::optional<int64_t> duration = json::IntMember(snippet, "banDurationSeconds");
    if (!duration) return Required("snippet.banDurationSeconds");
    if (*duration < 1 || *duration > 1'000'000'000) {
      return DataApiError(400, "invalidValue", "The snippet.banDurationSeconds value is invalid.");
    }
    seconds = *duration;
  }
  const std::optional<YouTubeSim::LiveChatRef> chat = youtube_.FindLiveChat(liveChatId);
  if (!chat) return ChatNotFound();
  if (chat->ended) return ChatEnded();
  if (!MayModerate(chat->channelId, caller.id)) {
    return DataApiError(403, "forbidden",
                        "The request is not properly authorized to ban a user from this live "
                        "chat.");
  }
  if (channelId == chat->channelId) {
    return DataApiError(400, "invalidValue", "The owner of the live chat cannot be banned.");
  }

  int number{0};
  {
    std::lock_guard lock{mutex_};
    number = ++bans_;
  }
  const std::optional<YouTubeViewer> banned = youtube_.FindAuthor(chat->videoId, channelId);
  Json resourceSnippet = {{"liveChatId", liveChatId},
                          {"type", type},
                          {"bannedUserDetails",
                           {{"channelId", channelId},
                            {"channelUrl", "http://www.youtube.com/channel/" + channelId},
                            {"displayName", banned ? banned->name : std::string{}},
                            {"profileImageUrl", "https://yt3.ggpht.com/a=s88"}}}};
  if (seconds > 0) resourceSnippet["banDurationSeconds"] = seconds;

  YouTubeEvent removal;
  removal.kind = YouTubeEventKind::Ban;
  removal.viewer = ViewerOf(caller, chat->channelId);
  removal.targetId = channelId;
  removal.count = static_cast<int>(std::min<int64_t>(seconds, 1'000'000'000));
  removal.byModerator = true;
  Deliver(ChatDelivery::Kind::Ban, channelId, chat->videoId, std::move(removal));
  return HttpAnswer::Json(json::Dump(Json{{"kind", "youtube#liveChatBan"},
                                          {"etag", "sim-ban-" + std::to_string(number)},
                                          {"id", "LCB.sim" + std::to_string(number)},
                                          {"snippet", std::move(resourceSnippet)}}));
}

}  // namespace vlo::sim
