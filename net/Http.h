#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/Version.h"
#include "net/CallControl.h"

namespace plx {

// The largest body a request accepts unless it says otherwise (after decoding). A larger answer
// ends as a failure instead of filling memory.
inline constexpr size_t kDefaultMaxBodyBytes = 32u << 20;

// One HTTP(S) request. Strings are UTF-8.
struct HttpRequest {
  std::string method{"GET"};
  std::string url;                  // absolute http:// or https:// URL
  std::optional<std::string> body;  // sent as is
  std::string contentType;          // no Content-Type header when empty
  std::string headers;              // extra lines "Name: value", separated by "\r\n"
  std::string userAgent;            // empty = AppUserAgent
  // The request fails as "network timeout" when no byte moves for this long, from the start
  // (resolve, connect, TLS) to the last byte of the answer; measured on control.clock.
  uint32_t timeoutMs{15000};
  bool followRedirects{true};  // the updater turns this off for itself
  size_t maxBodyBytes{kDefaultMaxBodyBytes};
  CallControl control;  // a stop ends the request with the error "cancelled"
};

// A completed exchange has status != 0 and an empty error, whatever the status.
struct HttpResponse {
  int32_t status{0};  // 0 when no response was received
  std::string body;   // decoded from gzip/deflate; empty on failure
  // Empty on success, else a fixed text: "network timeout", "network error (DNS)",
  // "network error (cannot connect)", "network error (connection lost)", "network error (no
  // answer)", "network error (answer cut short)", "answer too large", a certificate sentence
  // ("the server's certificate is not trusted" …), "the secure connection failed", "cancelled",
  // "Invalid URL" or "network error (n)" with libcurl's code.
  std::string error;
  int32_t retryAfter{0};  // seconds from a positive integer Retry-After header, else 0
};

// HttpResponse::error of an answer larger than the request's maxBodyBytes.
inline constexpr std::string_view kAnswerTooLarge = "answer too large";

// "VelaroStudio/chat-<version>", from the build's version stamp.
using vlo::kAppUserAgent;
inline constexpr std::string_view kBrowserUserAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/122.0.0.0 Safari/537.36";
inline std::string AppUserAgent() { return std::string{kAppUserAgent}; }
inline std::string BrowserUserAgent() { return std::string{kBrowserUserAgent}; }

// Performs one request on the calling thread; never throws for network failures.
HttpResponse Perform(const HttpRequest& request);

// The shorthands below take an optional CallControl: a stop then ends the call at once.
HttpResponse Request(const std::string& url, const std::string& method,
                     std::optional<std::string> body, std::optional<std::string> contentType,
                     std::optional<std::string> headers, uint32_t timeoutMs,
                     CallControl control = {});
HttpResponse Get(const std::string& url, uint32_t timeoutMs = 15000, CallControl control = {});
HttpResponse Get(const std::string& url, const std::string& headers, uint32_t timeoutMs = 15000,
                 CallControl control = {});
HttpResponse PostForm(const std::string& url, std::string body, uint32_t timeoutMs = 15000,
                      CallControl control = {});
HttpResponse PostJson(const std::string& url, std::string body,
                      std::optional<std::string> headers = std::nullopt, uint32_t timeoutMs = 15000,
                      CallControl control = {});

// "Authorization: Bearer <token>\r\n" and, when clientId is non-empty, "Client-Id: <id>\r\n".
std::string BearerHeaders(std::string_view accessToken, std::string_view clientId);

// Unreserved bytes (A-Z a-z 0-9 - . _ ~) are kept; every other byte becomes %XX (upper case).
std::string PercentEncode(std::string_view text);
// One "name=value" pair of a form or query, both percent-encoded.
std::string FormField(std::string_view name, std::string_view value);
// "%XX" escapes decoded (a malformed one is kept as is); "+" is a space, as in a query.
std::string PercentDecodeQuery(std::string_view text);
// The "name=value" pairs of a query (after the "?"), both decoded; the first value of a repeated
// name counts, a name without "=" has an empty value, an empty name is dropped.
std::map<std::string, std::string> ParseQuery(std::string_view query);

// Conversions; invalid input is replaced with U+FFFD.
std::u16string ToUtf16(std::string_view utf8);
std::string ToUtf8(std::u16string_view utf16);

// Test only: also trust the certificate authority in this PEM file for every TLS connection
// (HTTP and WebSocket) made after the call. Verification itself stays on. Process-wide.
void TrustExtraCertificateForTests(const std::string& pemPath);

}  // namespace plx
