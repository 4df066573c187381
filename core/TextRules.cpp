#include "core/TextRules.h"

namespace vlo {

namespace {
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Characters that move the cursor, change the direction of the text or start a terminal
// sequence when written raw.
bool NeedsEscape(char32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029 ||
         (cp >= 0x200E && cp <= 0x200F) || (cp >= 0x202A && cp <= 0x202E) ||
         (cp >= 0x2066 && cp <= 0x2069) || cp == 0xFEFF;
}

void AppendHex(std::string& out, const char* prefix, uint32_t value, int digits,
               const char* suffix) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += prefix;
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
  out += suffix;
}
}  // namespace

std::string QuoteForTerminal(std::string_view text, size_t maxChars) {
  std::string out{"\""};
  size_t chars = 0;
  size_t i = 0;
  while (i < text.size() && chars < maxChars) {
    const size_t start = i;
    char32_t cp = 0;
    ++chars;
    if (!NextCodePoint(text, i, cp)) {
      AppendHex(out, "\\x", static_cast<unsigned char>(text[i]), 2, "");
      ++i;
      continue;
    }
    switch (cp) {
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (cp < 0x80 && NeedsEscape(cp)) {
          AppendHex(out, "\\x", cp, 2, "");
        } else if (NeedsEscape(cp)) {
          AppendHex(out, "\\u{", cp, 4, "}");
        } else {
          out.append(text.substr(start, i - start));
        }
    }
  }
  out += '"';
  if (i < text.size()) out += "…";
  return out;
}

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

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
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
