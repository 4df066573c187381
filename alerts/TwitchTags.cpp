#include "alerts/TwitchTags.h"

namespace vlo {

void AppendUnescapedTagValue(std::string& out, std::string_view value) {
  size_t start{0};
  for (size_t i = value.find('\\'); i != std::string_view::npos; i = value.find('\\', start)) {
    out.append(value.substr(start, i - start));
    if (i + 1 >= value.size()) return;  // a lone trailing backslash stands for nothing
    switch (const char c = value[i + 1]) {
      case ':':
        out += ';';
        break;
      case 's':
        out += ' ';
        break;
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      default:
        out += c;
        break;  // "\\" and any other escaped character
    }
    start = i + 2;
  }
  out.append(value.substr(start));
}

std::string UnescapeTagValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  AppendUnescapedTagValue(out, value);
  return out;
}

std::optional<std::string_view> RawTagValue(std::string_view tags, std::string_view key) {
  std::optional<std::string_view> found;
  while (!tags.empty()) {
    const size_t end = tags.find(';');
    const std::string_view item = tags.substr(0, end);
    tags = end == std::string_view::npos ? std::string_view{} : tags.substr(end + 1);
    if (item.size() < key.size() || !item.starts_with(key)) continue;
    if (item.size() == key.size()) {
      found = std::string_view{};
    } else if (item[key.size()] == '=') {
      found = item.substr(key.size() + 1);
    }
  }
  return found;
}

std::string TagValue(std::string_view tags, std::string_view key) {
  const auto raw = RawTagValue(tags, key);
  return raw ? UnescapeTagValue(*raw) : std::string{};
}

}  // namespace vlo
