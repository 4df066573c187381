#include <gtest/gtest.h>

#include "actions/Actions.h"
#include "tests/actions/ResultPrinting.h"

namespace vlo {
namespace {

using plx::PlatformId;

plx::HttpResponse Answer(int32_t status, std::string body, std::string error = {}) {
  plx::HttpResponse response;
  response.status = status;
  response.body = std::move(body);
  response.error = std::move(error);
  return response;
}

TEST(ApiErrorText, ReadsEachServicesErrorShape) {
  const struct {
    const char* name;
    plx::HttpResponse response;
    std::string text;
  } cases[]{
      {"Helix",
       Answer(429, R"({"error":"Too Many Requests","status":429,)"
                   R"("message":"Rate limit exceeded. Try again shortly."})"),
       "Rate limit exceeded. Try again shortly."},
      {"Helix with an empty message",
       Answer(500, R"({"error":"Internal Server Error","status":500,"message":""})"),
       "Internal Server Error"},
      {"Kick with its explanation in data",
       Answer(400, R"({"message":"Invalid request","data":"broadcaster_user_id is required"})"),
       "Invalid request: broadcaster_user_id is required"},
      {"Kick with data that explains nothing",
       Answer(401, R"({"message":"Unauthorized","data":null})"), "Unauthorized"},
      {"Kick with an object in data",
       Answer(422, R"({"message":"The content field is required.","data":{"content":["x"]}})"),
       "The content field is required."},
      {"OAuth style",
       Answer(401, R"({"error":"invalid_token","error_description":"Token is expired"})"),
       "invalid_token: Token is expired"},
      {"OAuth style without a description",
       Answer(401, R"({"error":"invalid_token","error_description":""})"), "invalid_token"},
      {"Data API with markup",
       Answer(403, R"({"error":{"code":403,"message":"Access Not Configured. Enable it by )"
                   R"(visiting \u003ca href=\"https://console.developers.google.com/apis\"\u003e)"
                   R"(the console\u003c/a\u003e\n then retry. Use \u003ccode\u003e&lt;id&gt;)"
                   R"(\u003c/code\u003e &amp; it&#39;s &quot;fine&quot;.",)"
                   R"("errors":[{"reason":"accessNotConfigured","domain":"usageLimits"}]}})"),
       "Access Not Configured. Enable it by visiting the console then retry. Use <id> & it's "
       "\"fine\"."},
      {"Data API error without a message", Answer(404, R"({"error":{"code":404,"message":7}})"),
       "HTTP 404"},
      {"not JSON", Answer(502, "<html><body>Bad Gateway</body></html>"), "HTTP 502"},
      {"JSON but not an object", Answer(500, R"(["message"])"), "HTTP 500"},
      {"a message of another type", Answer(400, R"({"message":12,"error":"Bad Request"})"),
       "Bad Request"},
      {"transport failure", Answer(0, "", "network timeout"), "network timeout"},
      {"no body, no transport text", Answer(503, ""), "HTTP 503"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ApiErrorText(c.response), c.text) << c.name;
  }
}

TEST(ModerationOutcome, MapsStatusesAndRefusals) {
  const std::string refusal{
      " did not allow this. You need to be the channel owner or a moderator there; if you are, "
      "sign in again under Channels & accounts."};
  const auto dataApi403{[](const std::string& reason) {
    return Answer(403, R"({"error":{"code":403,"message":"Refused for )" + reason +
                           R"(.","errors":[{"message":"x","domain":"youtube.liveChat",)"
                           R"("reason":")" +
                           reason + R"("}]}})");
  }};
  const struct {
    PlatformId platform;
    plx::HttpResponse response;
    ModerationResult result;
  } cases[]{
      {PlatformId::Twitch, Answer(204, ""), {true, "done"}},
      {PlatformId::Kick, Answer(200, R"({"data":{},"message":"OK"})"), {true, "done"}},
      {PlatformId::Twitch,
       Answer(401, R"({"message":"Invalid OAuth token"})"),
       {false, "Twitch" + refusal}},
      {PlatformId::Kick, Answer(403, ""), {false, "Kick" + refusal}},
      {PlatformId::YouTube, dataApi403("insufficientPermissions"), {false, "YouTube" + refusal}},
      {PlatformId::YouTube, dataApi403("forbidden"), {false, "YouTube" + refusal}},
      {PlatformId::YouTube, Answer(403, "not json"), {false, "YouTube" + refusal}},
      {PlatformId::YouTube, dataApi403("quotaExceeded"), {false, "Refused for quotaExceeded."}},
      {PlatformId::YouTube,
       dataApi403("rateLimitExceeded"),
       {false, "Refused for rateLimitExceeded."}},
      {PlatformId::YouTube,
       dataApi403("dailyLimitExceeded"),
       {false, "Refused for dailyLimitExceeded."}},
      {PlatformId::YouTube, dataApi403("liveChatEnded"), {false, "Refused for liveChatEnded."}},
      {PlatformId::YouTube,
       dataApi403("liveChatDisabled"),
       {false, "Refused for liveChatDisabled."}},
      {PlatformId::YouTube,
       dataApi403("liveChatNotFound"),
       {false, "Refused for liveChatNotFound."}},
      {PlatformId::YouTube,
       dataApi403("projectQuotaLimit"),
       {false, "Refused for projectQuotaLimit."}},
      // Only the Data API's 403 tells its reasons apart; a 401 is always the token.
      {PlatformId::YouTube,
       Answer(401, R"({"error":{"code":401,"message":"Invalid Credentials",)"
                   R"("errors":[{"reason":"quotaExceeded"}]}})"),
       {false, "YouTube" + refusal}},
      {PlatformId::Twitch, dataApi403("quotaExceeded"), {false, "Twitch" + refusal}},
      {PlatformId::Twitch,
       Answer(500, R"({"error":"Internal Server Error","message":""})"),
       {false, "Internal Server Error"}},
      {PlatformId::YouTube,
       Answer(0, "", "network error (cannot connect)"),
       {false, "network error (cannot connect)"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ModerationOutcome(c.platform, c.response), c.result)
        << plx::PlatformName(c.platform) << " " << c.response.status << " " << c.response.body;
  }
}

}  // namespace
}  // namespace vlo
