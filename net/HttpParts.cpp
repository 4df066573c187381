#include "net/HttpParts.h"

#include <charconv>

namespace plx::detail {

std::vector<std::string> HeaderLines(std::string_view contentType, std::string_view headers) {
  std::vector<std::string> lines;
  if (!contentType.empty()) lines.push_back("Content-Type: " + std::string{contentType});
  if (headers.find("Accept:") == std::string_view::npos) {
    lines.emplace_back("Accept: application/json");
  }
  for (std::string& line : SplitHeaderLines(headers)) lines.push_back(std::move(line));
  return lines;
}

std::vector<std::string> SplitHeaderLines(std::string_view headers) {
  std::vector<std::string> lines;
  while (!headers.empty()) {
    const size_t end{headers.find('\n')};
    std::string_view line{headers.substr(0, end)};
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!line.empty()) lines.emplace_back(line);
    headers = end == std::string_view::npos ? std::string_view{} : headers.substr(end + 1);
  }
  return lines;
}

int32_t ParseRetryAfter(std::string_view value) {
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  int32_t seconds{0};
  const auto [end, error]{std::from_chars(value.data(), value.data() + value.size(), seconds)};
  if (value.empty() || value.front() == '-' || error != std::errc{} ||
      end != value.data() + value.size() || seconds <= 0) {
    return 0;
  }
  return seconds;
}

}  // namespace plx::detail
