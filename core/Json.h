#pragma once

// Lenient JSON reading shared by every parser: a document that does not parse, or is not an
// object, reads as an empty object; a member of the wrong type reads as absent; a text member
// read from an integer takes its decimal form.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace vlo::json {

using Json = nlohmann::json;

// Arrays and objects nested deeper than this make a document unparsable: writing a value out
// and walking it recurse, so a hostile document could otherwise exhaust the stack. No service
// sends anything near it.
inline constexpr int kMaxNesting = 512;

// Parses `text`; anything but an object gives an empty object. Never throws.
Json ParseObject(std::string_view text);
// Parses `text` as any JSON value; a parse failure gives a discarded (null) value. Never throws.
Json ParseAny(std::string_view text);

// The member `key` of `object`, or nullptr when `object` is no object or has no such member.
const Json* Find(const Json& object, std::string_view key);

// Value readers: absent when the value has another type.
std::optional<std::string> AsText(const Json& value);  // string, or integer as decimal
std::optional<int64_t> AsInt(const Json& value);       // integers only, no fractions
std::optional<bool> AsBool(const Json& value);

// Member readers built on the above.
std::optional<std::string> TextMember(const Json& object, std::string_view key);
std::optional<int64_t> IntMember(const Json& object, std::string_view key);
std::optional<bool> BoolMember(const Json& object, std::string_view key);
std::string TextOr(const Json& object, std::string_view key, std::string_view fallback = {});
// The member when it is an object / array, else a shared empty one.
const Json& ObjectMember(const Json& object, std::string_view key);
const Json& ArrayMember(const Json& object, std::string_view key);

// Compact serialisation with sorted keys; invalid UTF-8 is replaced rather than thrown on.
std::string Dump(const Json& value, int indent = -1);

}  // namespace vlo::json
