#include <cctype>
#include <string>
#include <string_view>

#include "sim/SimServer.h"

namespace vlo::sim {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The first value of `name` in an "a=1&b=2" list, if present.
bool FindField(std::string_view list, std::string_view name, std::string* value) {
  while (!list.empty()) {
    const size_t amp{list.find('&')};
    const std::string_view pair{list.substr(0, amp)};
    list = amp == std::string_view::npos ? std::string_view{} : list.substr(amp + 1);
    const size_t eq{pair.find('=')};
    const std::string_view key{pair.substr(0, eq)};
    if (PercentDecode(key, true) != name) continue;
    if (value)
      *value =
          eq == std::string_view::npos ? std::string{} : PercentDecode(pair.substr(eq + 1), true);
    return true;
  }
  return false;
}

std::string Lower(std::string_view text) {
  std::string out{text};
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

std::string PercentDecode(std::string_view text, bool plusIsSpace) {
  std::string out;
  out.reserve(text.size());
  for (size_t i{0}; i < text.size(); ++i) {
    const char c{text[i]};
    if (c == '+' && plusIsSpace) {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::string HttpExchange::Query(std::string_view name) const {
  std::string value;
  FindField(query, name, &value);
  return value;
}

bool HttpExchange::HasQuery(std::string_view name) const { return FindField(query, name, nullptr); }

std::string HttpExchange::Form(std::string_view name) const {
  std::string value;
  FindField(body, name, &value);
  return value;
}

std::string HttpExchange::Header(std::string_view name) const {
  const auto it{headers.find(Lower(name))};
  return it == headers.end() ? std::string{} : it->second;
}

HttpAnswer HttpAnswer::Json(std::string body, int status) {
  HttpAnswer answer;
  answer.status = status;
  answer.body = std::move(body);
  return answer;
}

HttpAnswer HttpAnswer::Text(std::string body, std::string contentType, int status) {
  HttpAnswer answer;
  answer.status = status;
  answer.body = std::move(body);
  answer.contentType = std::move(contentType);
  return answer;
}

HttpAnswer HttpAnswer::Status(int status, std::string body) {
  return Json(std::move(body), status);
}

}  // namespace vlo::sim
