#include "sim/youtube/YouTubeSimPages.h"

#include "sim/HtmlText.h"

namespace vlo::sim {

namespace {

using Json = nlohmann::json;

// Script filler resembling the site's bundled configuration, braces and quotes included, so a
// scanner that is not linear or mishandles strings shows it.
std::string Filler(size_t bytes) {
  std::string out;
  out.reserve(bytes + 256);
  out += "<script nonce=\"sim\">var ytcfgFiller = [";
  for (size_t i = 0; out.size() < bytes; ++i) {
    out += "{\"k" + std::to_string(i) + "\":\"v{\\\"}" + std::to_string(i * 7919) + "\"},";
  }
  out += "{}];</script>\n";
  return out;
}

}  // namespace

std::string LivePageHtml(const std::string& channelId, const std::string& title,
                         const std::string& videoId, size_t padding) {
  std::string html =
      "<!DOCTYPE html><html lang=\"en\"><head><title>" + HtmlEscape(title) + " - YouTube</title>";
  if (videoId.empty()) {
    html += "<link rel=\"canonical\" href=\"https://www.youtube.com/channel/" + channelId + "\">";
  } else {
    html += "<link rel=\"canonical\" href=\"https://www.youtube.com/watch?v=" + videoId + "\">";
  }
  html += "</head><body>" + Filler(padding);
  Json details = {{"channelId", channelId}, {"isLiveContent", !videoId.empty()}};
  if (!videoId.empty()) {
    details["videoId"] = videoId;
    details["author"] = title;
    details["isLive"] = true;
  }
  Json player = {{"videoDetails", details}};
  if (!videoId.empty()) {
    player["microformat"] = {{"playerMicroformatRenderer", {{"ownerChannelName", title}}}};
  }
  html += "<script>var ytInitialPlayerResponse = " + player.dump() + ";</script>";
  html += "</body></html>";
  return html;
}

std::string LiveChatPageHtml(const std::string& clientVersion, const Json& initialData,
                             bool legacyMarker, size_t padding) {
  std::string html =
      "<!DOCTYPE html><html><head><script>ytcfg.set({\"INNERTUBE_API_KEY\":\"sim\","
      "\"INNERTUBE_CLIENT_NAME\":\"WEB\",\"INNERTUBE_CLIENT_VERSION\":\"" +
      clientVersion + "\",\"HL\":\"en\"});</script></head><body>";
  html += Filler(padding / 2);
  html += legacyMarker ? "<script>var ytInitialData = " : "<script>window[\"ytInitialData\"] = ";
  html += initialData.dump();
  html += ";</script>";
  html += Filler(padding - padding / 2);
  html += "</body></html>";
  return html;
}

Json LiveChatInitialData(const std::string& feedContinuation, const std::string& topContinuation,
                         const std::string& liveContinuation, const Json& actions) {
  auto menuItem = [](const char* title, bool selected, const std::string& token) {
    return Json{{"title", title},
                {"selected", selected},
                {"continuation", {{"reloadContinuationData", {{"continuation", token}}}}},
                {"subtitle", selected ? "Some messages, such as potential spam, may not be visible"
                                      : "All messages are visible"}};
  };
  Json header = {{"liveChatHeaderRenderer",
                  {{"viewSelector",
                    {{"sortFilterSubMenuRenderer",
                      {{"subMenuItems",
                        {menuItem("Top chat", true, topContinuation),
                         menuItem("Live chat", false, liveContinuation)}}}}}}}}};
  Json renderer = {{"continuations",
                    {{{"invalidationContinuationData",
                       {{"invalidationId", {{"objectSource", 1056}, {"topic", "chat~sim"}}},
                        {"timeoutMs", 10000},
                        {"continuation", feedContinuation}}}}}},
                   {"actions", actions},
                   {"header", std::move(header)},
                   {"isReplay", false}};
  return Json{{"responseContext", {{"serviceTrackingParams", Json::array()}}},
              {"contents", {{"liveChatRenderer", std::move(renderer)}}}};
}

}  // namespace vlo::sim
