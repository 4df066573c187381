#include "sim/youtube/YouTubeSim.h"

#include <algorithm>
#include <chrono>

#include "sim/youtube/YouTubeSimPages.h"

namespace vlo::sim {

namespace {

using Json = nlohmann::json;

constexpr size_t kInitialActions = 20;  // recent messages the chat page embeds

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

int64_t WallMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

struct Token {
  std::string kind;  // "feed", "top" or "live"
  std::string videoId;
  size_t position{0};
};

std::string MakeToken(const char* kind, const std::string& videoId, size_t position) {
  return std::string{kind} + "." + videoId + "." + std::to_string(position);
}

std::optional<Token> ReadToken(const std::string& text) {
  const size_t first = text.find('.');
  const size_t last = text.rfind('.');
  if (first == std::string::npos || first == last) return std::nullopt;
  Token token{text.substr(0, first), text.substr(first + 1, last - first - 1), 0};
  const std::string digits = text.substr(last + 1);
  if (digits.empty() || digits.size() > 9 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  token.position = std::stoul(digits);
  if (token.kind != "feed" && token.kind != "top" && token.kind != "live") return std::nullopt;
  return token;
}

HttpAnswer BadRequest() {
  return HttpAnswer::Json(
      R"({"error":{"code":400,"message":"Request contains an invalid argument.","errors":[{"message":"Request contains an invalid argument.","domain":"global","reason":"badRequest"}],"status":"INVALID_ARGUMENT"}})",
      400);
}

HttpAnswer NotFoundPage() {
  return HttpAnswer::Text("<!DOCTYPE html><html><body>404 Not Found</body></html>", "text/html",
                          404);
}

Json EndedFeed() {
  return Json{{"responseContext",
               {{"serviceTrackingParams", Json::array()},
                {"mainAppWebResponseContext", {{"loggedOut", true}}}}}};
}

}  // namespace

YouTubeSim::~YouTubeSim() {
  // No handler may run into the state that goes with this object.
  web_.Stop();
  api_.Stop();
}

YouTubeSim::YouTubeSim(SimServer& web, SimServer& api) : web_{web}, api_{api} {
  web.RoutePrefix("GET", "/@", [this](const HttpExchange& r) {
    const std::string rest = r.path.substr(2);
    const size_t slash = rest.find('/');
    if (slash == std::string::npos || rest.substr(slash) != "/live") return NotFoundPage();
    std::string channelId;
    {
      std::lock_guard lock{lock_};
      const auto it = handles_.find(Lower(rest.substr(0, slash)));
      if (it == handles_.end()) return NotFoundPage();
      channelId = it->second;
    }
    return LivePage(channelId);
  });
  web.RoutePrefix("GET", "/channel/", [this](const HttpExchange& r) {
    const std::string rest = r.path.substr(9);
    const size_t slash = rest.find('/');
    if (slash == std::string::npos || rest.substr(slash) != "/live") return NotFoundPage();
    return LivePage(rest.substr(0, slash));
  });
  web.Route("GET", "/live_chat", [this](const HttpExchange& r) { return ChatPage(r); });
  web.Route("POST", kContinuationPath, [this](const HttpExchange& r) { return Continuation(r); });
  api.Route("GET", kBroadcastsPath, [this](const HttpExchange& r) { return Broadcasts(r); });
  api.Route("GET", kVideosPath, [this](const HttpExchange& r) { return Videos(r); });
  api.Route("GET", kMessagesPath, [this](const HttpExchange& r) { return Messages(r); });
}

// --- Scripting ---

void YouTubeSim::AddChannel(const std::string& channelId, const std::string& handle,
                            const std::string& title) {
  std::lock_guard lock{lock_};
  channels_[channelId] = Channel{handle, title, {}};
  if (!handle.empty()) handles_[Lower(handle)] = channelId;
}

void YouTubeSim::StartStream(const std::string& channelId, const std::string& videoId,
                             const std::string& liveChatId) {
  std::lock_guard lock{lock_};
  channels_[channelId].liveVideoId = videoId;
  Chat& chat = chats_[videoId];
  chat.channelId = channelId;
  chat.liveChatId = liveChatId;
  chat.ended = false;
}

void YouTubeSim::EndStream(const std::string& channelId) {
  std::lock_guard lock{lock_};
  Channel& channel = channels_[channelId];
  if (const auto it = chats_.find(channel.liveVideoId); it != chats_.end()) it->second.ended = true;
  channel.liveVideoId.clear();
}

void YouTubeSim::SetOwnChannel(const std::string& channelId) {
  std::lock_guard lock{lock_};
  ownChannel_ = channelId;
}

void YouTubeSim::SetAcceptedToken(const std::string& token) {
  std::lock_guard lock{lock_};
  acceptedToken_ = token;
}

void YouTubeSim::SetTokenCheck(TokenCheck check) {
  std::lock_guard lock{lock_};
  tokenCheck_ = std::move(check);
}

std::string YouTubeSim::NewEventIdLocked() {
  return "ChwKGnNpbS1tc2ctLS0t" + std::to_string(nextId_++);
}

std::string YouTubeSim::NewEventId() {
  std::lock_guard lock{lock_};
  return NewEventIdLocked();
}

std::string YouTubeSim::Push(const std::string& videoId, YouTubeEvent event) {
  std::lock_guard lock{lock_};
  if (event.id.empty()) event.id = NewEventIdLocked();
  if (event.timeMs == 0) event.timeMs = WallMs();
  std::string id = event.id;
  chats_[videoId].events.push_back(std::move(event));
  return id;
}

std::string YouTubeSim::PushText(const std::string& videoId, const YouTubeViewer& viewer,
                                 const std::string& text) {
  YouTubeEvent event;
  event.viewer = viewer;
  event.text = text;
  return Push(videoId, std::move(event));
}

void YouTubeSim::PushRawAction(const std::string& videoId, Json action) {
  std::lock_guard lock{lock_};
  chats_[videoId].rawActions.push_back(std::move(action));
}

std::optional<YouTubeSim::LiveChatRef> YouTubeSim::FindLiveChat(
    const std::string& liveChatId) const {
  std::lock_guard lock{lock_};
  for (const auto& [videoId, chat] : chats_) {
    if (!liveChatId.empty() && chat.liveChatId == liveChatId) {
      return LiveChatRef{videoId, chat.liveChatId, chat.channelId, chat.ended};
    }
  }
  return std::nullopt;
}

std::optional<YouTubeSim::FoundMessage> YouTubeSim::FindApiMessage(const std::string& apiId) const {
  std::lock_guard lock{lock_};
  for (const auto& [videoId, chat] : chats_) {
    const auto& events = chat.events;
    const auto removal = [](const YouTubeEvent& e) {
      return e.kind == YouTubeEventKind::Delete || e.kind == YouTubeEventKind::Ban;
    };
    const auto found = std::find_if(events.begin(), events.end(), [&](const YouTubeEvent& e) {
      return !removal(e) && ApiMessageId(e.id) == apiId;
    });
    if (found == events.end()) continue;
    const bool deleted = std::any_of(found, events.end(), [&](const YouTubeEvent& e) {
      return e.kind == YouTubeEventKind::Delete && e.targetId == found->id;
    });
    if (deleted) return std::nullopt;
    return FoundMessage{{videoId, chat.liveChatId, chat.channelId, chat.ended}, *found};
  }
  return std::nullopt;
}

std::optional<YouTubeViewer> YouTubeSim::FindAuthor(const std::string& videoId,
                                                    const std::string& channelId) const {
  std::lock_guard lock{lock_};
  const auto chat = chats_.find(videoId);
  if (chat == chats_.end()) return std::nullopt;
  const auto& events = chat->second.events;
  for (auto it = events.rbegin(); it != events.rend(); ++it) {
    if (it->kind != YouTubeEventKind::Delete && it->kind != YouTubeEventKind::Ban &&
        it->viewer.channelId == channelId) {
      return it->viewer;
    }
  }
  return std::nullopt;
}

void YouTubeSim::SetClientVersion(const std::string& version) {
  std::lock_guard lock{lock_};
  clientVersion_ = version;
}

void YouTubeSim::SetPagePadding(size_t bytes) {
  std::lock_guard lock{lock_};
  padding_ = bytes;
}

void YouTubeSim::SetLegacyMarker(bool on) {
  std::lock_guard lock{lock_};
  legacyMarker_ = on;
}

void YouTubeSim::SetPollingIntervalMillis(std::optional<int64_t> ms) {
  std::lock_guard lock{lock_};
  pollingMs_ = ms;
}

void YouTubeSim::StartReplay(const std::string& videoId, std::vector<std::string> responses,
                             std::optional<std::string> chatPage) {
  std::lock_guard lock{lock_};
  replay_ = Replay{videoId, std::move(responses), 0, std::move(chatPage)};
}

size_t YouTubeSim::RejectedPolls() const {
  std::lock_guard lock{lock_};
  return rejectedPolls_;
}

std::vector<std::string> YouTubeSim::PolledContinuations() const {
  std::lock_guard lock{lock_};
  return polled_;
}

std::string YouTubeSim::ApiErrorBody(int code, const std::string& reason) {
  const Json body = {
      {"error",
       {{"code", code},
        {"message", "The request cannot be completed: " + reason},
        {"errors", {{{"message", reason}, {"domain", "youtube.liveChat"}, {"reason", reason}}}}}}};
  return body.dump();
}

// --- The web site ---

HttpAnswer YouTubeSim::LivePage(const std::string& channelId) {
  std::lock_guard lock{lock_};
  const auto it = channels_.find(channelId);
  if (it == channels_.end()) return NotFoundPage();
  return HttpAnswer::Text(
      LivePageHtml(channelId, it->second.title, it->second.liveVideoId, padding_ / 4),
      "text/html; charset=utf-8");
}

HttpAnswer YouTubeSim::ChatPage(const HttpExchange& request) {
  const std::string videoId = request.Query("v");
  std::lock_guard lock{lock_};
  if (replay_ && replay_->videoId == videoId && replay_->chatPage) {
    return HttpAnswer::Text(*replay_->chatPage, "text/html; charset=utf-8");
  }
  const auto it = chats_.find(videoId);
  const bool live = it != chats_.end() && !it->second.ended && !it->second.liveChatId.empty();
  if (!live) {
    // The site answers 200 with a page that holds no chat.
    const Json data = {
        {"contents",
         {{"messageRenderer",
           {{"text", {{"simpleText", "Chat is disabled for this live stream."}}}}}}}};
    return HttpAnswer::Text(LiveChatPageHtml(clientVersion_, data, legacyMarker_, padding_ / 8),
                            "text/html; charset=utf-8");
  }
  const Chat& chat = it->second;
  const size_t end = chat.events.size();
  Json actions = Json::array();
  for (size_t i = end - std::min(end, kInitialActions); i < end; ++i) {
    actions.push_back(PageAction(chat.events[i]));
  }
  const Json data =
      LiveChatInitialData(MakeToken("feed", videoId, end), MakeToken("top", videoId, end),
                          MakeToken("live", videoId, end), actions);
  return HttpAnswer::Text(LiveChatPageHtml(clientVersion_, data, legacyMarker_, padding_),
                          "text/html; charset=utf-8");
}

HttpAnswer YouTubeSim::Continuation(const HttpExchange& request) {
  const Json body = Json::parse(request.body, nullptr, false);
  std::lock_guard lock{lock_};
  const Json* client = nullptr;
  if (body.is_object() && body.contains("context") && body["context"].is_object() &&
      body["context"].contains("client")) {
    client = &body["context"]["client"];
  }
  const bool wellFormed =
      request.Query("prettyPrint") == "false" &&
      request.Header("Content-Type").starts_with("application/json") && client &&
      client->is_object() && client->value("clientName", "") == "WEB" &&
      VersionAccepted(client->value("clientVersion", "")) && client->value("hl", "") == "en" &&
      body.contains("continuation") && body["continuation"].is_string() &&
      !body["continuation"].get<std::string>().empty();
  if (!wellFormed) {
    ++rejectedPolls_;
    return BadRequest();
  }
  const std::string continuation = body["continuation"].get<std::string>();
  const std::optional<Token> token = ReadToken(continuation);
  const bool simulatedFeed =
      token && chats_.contains(token->videoId) && !(replay_ && token->videoId == replay_->videoId);
  if (replay_ && !simulatedFeed) {
    // Captured tokens are opaque: every other poll takes the next recorded answer.
    polled_.push_back(continuation);
    if (replay_->next < replay_->responses.size()) {
      return HttpAnswer::Json(replay_->responses[replay_->next++]);
    }
    return HttpAnswer::Json(EndedFeed().dump());
  }
  if (!simulatedFeed) {
    ++rejectedPolls_;
    return BadRequest();
  }
  polled_.push_back(continuation);
  return FeedAnswer(token->videoId, token->position);
}

HttpAnswer YouTubeSim::FeedAnswer(const std::string& videoId, size_t from) {
  Chat& chat = chats_[videoId];
  if (chat.ended) return HttpAnswer::Json(EndedFeed().dump());
  const size_t end = chat.events.size();
  Json actions = Json::array();
  for (size_t i = std::min(from, end); i < end; ++i) actions.push_back(PageAction(chat.events[i]));
  for (Json& raw : chat.rawActions) actions.push_back(std::move(raw));
  chat.rawActions.clear();
  const Json answer = {
      {"responseContext", {{"serviceTrackingParams", Json::array()}}},
      {"continuationContents",
       {{"liveChatContinuation",
         {{"continuations",
           {{{"invalidationContinuationData",
              {{"invalidationId", {{"objectSource", 1056}, {"topic", "chat~" + videoId}}},
               {"timeoutMs", 10000},
               {"continuation", MakeToken("live", videoId, end)}}}}}},
          {"actions", std::move(actions)}}}}}};
  return HttpAnswer::Json(answer.dump());
}

bool YouTubeSim::VersionAccepted(const std::string& version) const {
  // A captured page carries the version of the day it was recorded.
  return version == clientVersion_ || (replay_ && replay_->chatPage && !version.empty());
}

// --- The Data API ---

std::optional<std::string> YouTubeSim::Authorize(const HttpExchange& request) const {
  const std::string header = request.Header("Authorization");
  if (!header.starts_with("Bearer ") || header.size() == 7) return std::nullopt;
  const std::string token = header.substr(7);
  TokenCheck check;
  {
    std::lock_guard lock{lock_};
    if (token == acceptedToken_ || (acceptedToken_.empty() && !tokenCheck_)) return std::string{};
    check = tokenCheck_;
  }
  if (check) return check(token);
  return std::nullopt;
}

HttpAnswer YouTubeSim::Broadcasts(const HttpExchange& request) {
  const std::optional<std::string> caller = Authorize(request);
  std::lock_guard lock{lock_};
  if (!caller) return HttpAnswer::Json(ApiErrorBody(401, "authError"), 401);
  if (request.Query("mine") != "true" || request.Query("part") != "snippet") {
    return HttpAnswer::Json(ApiErrorBody(400, "invalidParameter"), 400);
  }
  Json items = Json::array();
  const std::string own = caller->empty() ? ownChannel_ : *caller;
  const auto channel = channels_.find(own);
  if (channel != channels_.end() && !channel->second.liveVideoId.empty()) {
    const Chat& chat = chats_[channel->second.liveVideoId];
    items.push_back({{"kind", "youtube#liveBroadcast"},
                     {"id", channel->second.liveVideoId},
                     {"snippet",
                      {{"channelId", own},
                       {"title", channel->second.title + " live"},
                       {"liveChatId", chat.liveChatId}}}});
  }
  return HttpAnswer::Json(
      Json{{"kind", "youtube#liveBroadcastListResponse"}, {"items", items}}.dump());
}

HttpAnswer YouTubeSim::Videos(const HttpExchange& request) {
  const bool authorized = Authorize(request).has_value();
  std::lock_guard lock{lock_};
  if (!authorized) return HttpAnswer::Json(ApiErrorBody(401, "authError"), 401);
  Json items = Json::array();
  const std::string videoId = request.Query("id");
  const auto chat = chats_.find(videoId);
  if (chat != chats_.end()) {
    const Channel& channel = channels_[chat->second.channelId];
    Json details = {{"actualStartTime", "2024-05-01T12:00:00Z"}};
    if (!chat->second.ended) details["activeLiveChatId"] = chat->second.liveChatId;
    items.push_back({{"kind", "youtube#video"},
                     {"id", videoId},
                     {"snippet",
                      {{"channelId", chat->second.channelId},
                       {"channelTitle", channel.title},
                       {"title", channel.title + " live"}}},
                     {"liveStreamingDetails", std::move(details)}});
  }
  return HttpAnswer::Json(Json{{"kind", "youtube#videoListResponse"}, {"items", items}}.dump());
}

HttpAnswer YouTubeSim::Messages(const HttpExchange& request) {
  const bool authorized = Authorize(request).has_value();
  std::lock_guard lock{lock_};
  if (!authorized) return HttpAnswer::Json(ApiErrorBody(401, "authError"), 401);
  const std::string liveChatId = request.Query("liveChatId");
  auto chat = std::find_if(chats_.begin(), chats_.end(), [&](const auto& entry) {
    return !liveChatId.empty() && entry.second.liveChatId == liveChatId;
  });
  if (chat == chats_.end()) return HttpAnswer::Json(ApiErrorBody(404, "liveChatNotFound"), 404);
  if (chat->second.ended) return HttpAnswer::Json(ApiErrorBody(403, "liveChatEnded"), 403);
  if (request.Query("part") != "snippet,authorDetails") {
    return HttpAnswer::Json(ApiErrorBody(400, "invalidParameter"), 400);
  }
  size_t maxResults = 500;
  if (const std::string text = request.Query("maxResults"); !text.empty()) {
    maxResults = std::clamp<size_t>(std::strtoul(text.c_str(), nullptr, 10), 200, 2000);
  }
  const std::vector<YouTubeEvent>& events = chat->second.events;
  const size_t end = events.size();
  size_t from = end - std::min(end, maxResults);
  if (const std::string token = request.Query("pageToken"); !token.empty()) {
    if (token[0] != 'p') return HttpAnswer::Json(ApiErrorBody(400, "pageTokenInvalid"), 400);
    from = std::min<size_t>(std::strtoul(token.c_str() + 1, nullptr, 10), end);
  }
  const size_t last = std::min(end, from + maxResults);
  Json items = Json::array();
  for (size_t i = from; i < last; ++i) items.push_back(ApiItem(events[i], liveChatId));
  Json answer = {{"kind", "youtube#liveChatMessageListResponse"},
                 {"nextPageToken", "p" + std::to_string(last)},
                 {"pageInfo", {{"totalResults", items.size()}, {"resultsPerPage", items.size()}}},
                 {"items", std::move(items)}};
  if (pollingMs_) answer["pollingIntervalMillis"] = *pollingMs_;
  return HttpAnswer::Json(answer.dump());
}

}  // namespace vlo::sim
