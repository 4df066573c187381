#pragma once

// IRCv3 message-tag helpers shared by the Twitch alert decoder and the Twitch line parser.

#include <optional>
#include <string>
#include <string_view>

namespace vlo {

// "\:" -> ";", "\s" -> space, "\\" -> "\", "\r" -> CR, "\n" -> LF, "\x" -> "x"; a lone backslash
// at the very end is dropped (IRCv3: it stands for nothing).
std::string UnescapeTagValue(std::string_view value);
void AppendUnescapedTagValue(std::string& out, std::string_view value);

// The raw (still escaped) value of `key` in a tag list "k=v;k2;k3=v3" (without the "@"): the
// last occurrence wins, a bare key gives an empty value, nothing when the key is absent.
std::optional<std::string_view> RawTagValue(std::string_view tags, std::string_view key);

// The unescaped value of `key`, empty when absent.
std::string TagValue(std::string_view tags, std::string_view key);

}  // namespace vlo
