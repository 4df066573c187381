#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plx::detail {

// The request's own header lines in the order they are sent: Content-Type when given, then
// "Accept: application/json" unless `headers` already holds "Accept:", then the lines of
// `headers`. Lines carry no "\r\n".
std::vector<std::string> HeaderLines(std::string_view contentType, std::string_view headers);
// The lines of `headers` alone, empty ones left out. Lines end in "\r\n"; a bare "\n" also ends
// one, so no line can smuggle in another.
std::vector<std::string> SplitHeaderLines(std::string_view headers);

// Seconds from a Retry-After value that is a positive decimal integer; 0 for anything else
// (an HTTP date, 0, a negative or overflowing number).
int32_t ParseRetryAfter(std::string_view value);

}  // namespace plx::detail
