#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plx {

// One HTTP(S) request. Strings are UTF-8.
struct HttpRequest {
  std::string method{"GET"};
  std::string url;                  // absolute http:// or https:// URL
  std::optional<std::string> body;  // sent as is
  std::string contentType;          // no Content-Type header when empty
  std::string headers;              // extra lines "Name: value", separated by "\r\n"
  std::string userAgent;            // empty = AppUserAgent
  uint32_t timeoutMs{15000};        // for each of resolve, connect, send and receive
  bool followRedirects{true};       // the updater turns this off for itself
};

// A completed exchange has status != 0 and an empty error, whatever the status.
struct HttpResponse {
  int32_t status{0};      // 0 when no response was received
  std::string body;       // decoded from gzip/deflate; empty on failure
  std::string error;      // empty on success, else a fixed sentence ("network timeout", …)
  int32_t retryAfter{0};  // seconds from a positive integer Retry-After header, else 0
};

inline constexpr std::string_view kAppUserAgent = "VelaroStudio/chat-1.1.3";
inline constexpr std::string_view kBrowserUserAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/122.0.0.0 Safari/537.36";
inline std::string AppUserAgent() { return std::string{kAppUserAgent}; }
inline std::string BrowserUserAgent() { return std::string{kBrowserUserAgent}; }

// Performs one request on the calling thread; never throws for network failures.
HttpResponse Perform(const HttpRequest& request);

HttpResponse Request(const std::string& url, const std::string& method,
                     std::optional<std::string> body, std::optional<std::string> contentType,
                     std::optional<std::string> headers, uint32_t timeoutMs);
HttpResponse Get(const std::string& url, uint32_t timeoutMs = 15000);
HttpResponse Get(const std::string& url, const std::string& headers, uint32_t timeoutMs = 15000);
HttpResponse PostForm(const std::string& url, std::string body, uint32_t timeoutMs = 15000);
HttpResponse PostJson(const std::string& url, std::string body,
                      std::optional<std::string> headers = std::nullopt,
                      uint32_t timeoutMs = 15000);

// "Authorization: Bearer <token>\r\n" and, when clientId is non-empty, "Client-Id: <id>\r\n".
std::string BearerHeaders(std::string_view accessToken, std::string_view clientId);

// Unreserved bytes (A-Z a-z 0-9 - . _ ~) are kept; every other byte becomes %XX (upper case).
std::string PercentEncode(std::string_view text);

// Conversions; invalid input is replaced with U+FFFD.
std::u16string ToUtf16(std::string_view utf8);
std::string ToUtf8(std::u16string_view utf16);

// Test only: also trust the certificate authority in this PEM file for every TLS connection
// (HTTP and WebSocket) made after the call. Verification itself stays on. Process-wide.
void TrustExtraCertificateForTests(const std::string& pemPath);

}  // namespace plx
