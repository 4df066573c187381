#include "core/TextRules.h"

namespace vlo {

namespace {
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

std::string_view TrimSpace(std::string_view text) {
  constexpr std::string_view kSpace = " \t\n\v\f\r";
  const size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

bool ConsumePrefixNoCase(std::string_view& text, std::string_view prefix) {
  if (!StartsWithNoCase(text, prefix)) return false;
  text.remove_prefix(prefix.size());
  return true;
}

std::string AsciiLower(std::string_view text) {
  std::string out{text};
  for (char& c : out) c = LowerAscii(c);
  return out;
}

uint64_t Fnv1a64(std::string_view bytes) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

bool NextCodePoint(std::string_view text, size_t& i, char32_t& cp) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b0 = byte(i);
  size_t len = b0 < 0x80           ? 1
               : (b0 >> 5) == 0x6  ? 2
               : (b0 >> 4) == 0xE  ? 3
               : (b0 >> 3) == 0x1E ? 4
                                   : 0;
  if (len == 0 || i + len > text.size()) return false;
  cp = len == 1 ? b0 : len == 2 ? (b0 & 0x1F) : len == 3 ? (b0 & 0x0F) : (b0 & 0x07);
  for (size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  i += len;
  return true;
}

}  // namespace vlo
