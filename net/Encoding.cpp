// The text routines every network caller shares.

#include "core/TextRules.h"
#include "net/Http.h"

namespace plx {
namespace {

constexpr char32_t kReplacement{0xFFFD};

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string BearerHeaders(std::string_view accessToken, std::string_view clientId) {
  std::string block{"Authorization: Bearer "};
  block.append(accessToken).append("\r\n");
  if (!clientId.empty()) block.append("Client-Id: ").append(clientId).append("\r\n");
  return block;
}

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[]{"0123456789ABCDEF"};
  std::string out;
  out.reserve(text.size() * 3);
  for (const char c : text) {
    const auto byte{static_cast<unsigned char>(c)};
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
        (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '~') {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

std::string FormField(std::string_view name, std::string_view value) {
  return PercentEncode(name) + "=" + PercentEncode(value);
}

std::string PercentDecodeQuery(std::string_view text) {
  const auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
               hex(text[i + 2]) >= 0) {
      out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::map<std::string, std::string> ParseQuery(std::string_view query) {
  std::map<std::string, std::string> values;
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view pair = query.substr(0, amp);
    const size_t eq = pair.find('=');
    std::string name = PercentDecodeQuery(pair.substr(0, eq));
    if (!name.empty() && !values.contains(name)) {
      values[std::move(name)] =
          eq == std::string_view::npos ? std::string{} : PercentDecodeQuery(pair.substr(eq + 1));
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return values;
}

// Each byte that does not start a well-formed sequence (or is a truncated one, an overlong
// form, a surrogate or above U+10FFFF) becomes one U+FFFD.
std::u16string ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i{0};
  while (i < utf8.size()) {
    char32_t cp{0};
    if (vlo::NextCodePoint(utf8, i, cp)) {
      AppendUtf16(out, cp);
    } else {
      out += static_cast<char16_t>(kReplacement);
      ++i;
    }
  }
  return out;
}

// An unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i{0}; i < utf16.size(); ++i) {
    const char16_t unit{utf16[i]};
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

}  // namespace plx
