#include "sim/platform/ApiAnswers.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "core/Json.h"

namespace vlo::sim {
namespace {

using Json = json::Json;

const char* StatusPhrase(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 409:
      return "Conflict";
    case 422:
      return "Unprocessable Entity";
    case 429:
      return "Too Many Requests";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

}  // namespace

HttpAnswer HelixError(int status, std::string_view message) {
  return HttpAnswer::Json(
      json::Dump(Json{{"error", StatusPhrase(status)}, {"status", status}, {"message", message}}),
      status);
}

HttpAnswer HelixNotSent(std::string_view code, std::string_view message) {
  Json reason = code.empty() ? Json(nullptr) : Json{{"code", code}, {"message", message}};
  const Json sent = {{"message_id", ""}, {"is_sent", false}, {"drop_reason", reason}};
  return HttpAnswer::Json(json::Dump(Json{{"data", Json::array({sent})}}));
}

HttpAnswer KickError(int status, std::string_view message) {
  return HttpAnswer::Json(json::Dump(Json{{"message", message}}), status);
}

HttpAnswer DataApiError(int status, std::string_view reason, std::string_view message) {
  const Json error = {{"message", message}, {"domain", "youtube.liveChat"}, {"reason", reason}};
  return HttpAnswer::Json(
      json::Dump(Json{
          {"error", {{"code", status}, {"message", message}, {"errors", Json::array({error})}}}}),
      status);
}

HttpAnswer DataApiQuotaExceeded() {
  return DataApiError(403, "quotaExceeded",
                      "The request cannot be completed because you have exceeded your quota.");
}

HttpAnswer TooManyRequests(std::string_view message) { return HelixError(429, message); }

HttpAnswer HtmlError(int status) {
  const std::string phrase = StatusPhrase(status);
  return HttpAnswer::Text("<!DOCTYPE html><html><head><title>" + std::to_string(status) + " " +
                              phrase + "</title></head><body><h1>" + phrase + "</h1></body></html>",
                          "text/html", status);
}

HttpAnswer NoAnswer() {
  HttpAnswer answer;
  answer.closeWithoutAnswer = true;
  return answer;
}

std::string BearerTokenOf(const HttpExchange& request) {
  const std::string header = request.Header("Authorization");
  constexpr std::string_view kBearer = "Bearer ";
  return header.starts_with(kBearer) ? header.substr(kBearer.size()) : std::string{};
}

size_t CodePoints(std::string_view text) {
  size_t count{0};
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

std::string NewUuid(std::mt19937_64& rng) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id;
  for (int i = 0; i < 36; ++i) {
    id.push_back(i == 8 || i == 13 || i == 18 || i == 23 ? '-' : kHex[rng() % 16]);
  }
  return id;
}

int64_t WallMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string IsoTime(int64_t ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
  return text;
}

}  // namespace vlo::sim
