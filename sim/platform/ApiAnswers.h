#pragma once

// Answers of the platforms' APIs in each service's own error shape, for the simulated APIs and
// for tests that script them (SimServer::AnswerNext), and small helpers the APIs share.

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "sim/SimServer.h"

namespace vlo::sim {

// --- Twitch Helix ---
// {"error": the status phrase, "status": status, "message": message}
HttpAnswer HelixError(int status, std::string_view message);
// A send that Helix accepted but did not deliver: 200 with data[0].is_sent false. An empty
// `code` leaves "drop_reason" null.
HttpAnswer HelixNotSent(std::string_view code = {}, std::string_view message = {});

// --- Kick public API ---
HttpAnswer KickError(int status, std::string_view message);  // {"message": message}

// --- YouTube Data API ---
// {"error": {"code", "message", "errors": [{"message", "domain", "reason"}]}}
HttpAnswer DataApiError(int status, std::string_view reason, std::string_view message);
HttpAnswer DataApiQuotaExceeded();  // 403 "quotaExceeded"

// --- Any service ---
// 429 {"error": "Too Many Requests", "status": 429, "message": message}
HttpAnswer TooManyRequests(std::string_view message);
// A server's HTML error page.
HttpAnswer HtmlError(int status = 500);
// The connection is closed without a response.
HttpAnswer NoAnswer();

// --- For the simulated APIs ---
// The token of an "Authorization: Bearer …" header; empty when there is none.
std::string BearerTokenOf(const HttpExchange& request);
// Characters (code points) in UTF-8 text, as the services count a message's length.
size_t CodePoints(std::string_view text);
// A random message id in the 8-4-4-4-12 hex form. The caller guards `rng`.
std::string NewUuid(std::mt19937_64& rng);
// Milliseconds since the epoch, real time.
int64_t WallMs();
// "2024-05-01T12:00:00Z" (UTC, whole seconds).
std::string IsoTime(int64_t ms);

}  // namespace vlo::sim
