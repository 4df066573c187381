#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vlo {

// Leading and trailing ASCII white space (space, tab, LF, VT, FF, CR) removed.
std::string_view TrimSpace(std::string_view text);
// True when `text` begins with `prefix`, ASCII letters compared without regard to case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// True when both are equal, ASCII letters compared without regard to case.
bool EqualsNoCase(std::string_view a, std::string_view b);
// Removes `prefix` from the front of `text` when present (ignoring case); true when it did.
bool ConsumePrefixNoCase(std::string_view& text, std::string_view prefix);
std::string AsciiLower(std::string_view text);

// Decodes the UTF-8 sequence at `i` into `cp` and moves `i` past it. False, with `i` unmoved,
// when the bytes there are not a well-formed sequence (truncated, overlong, a surrogate or
// above U+10FFFF).
bool NextCodePoint(std::string_view text, size_t& i, char32_t& cp);

// `text` between double quotes, safe to write to a terminal: control characters (C0, C1, DEL),
// the Unicode line and direction controls, quotes and backslashes are escaped (\n, \t, \",
// \\, \xNN, \u{NNNN}), bytes that are not UTF-8 become \xNN, and anything past `maxChars`
// characters is cut off with "…" after the closing quote.
std::string QuoteForTerminal(std::string_view text, size_t maxChars = 64);

// 64-bit FNV-1a of the bytes.
uint64_t Fnv1a64(std::string_view bytes);

}  // namespace vlo
