#pragma once

// Lenient field readers shared by the alert decoders.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/Json.h"

namespace vlo::alert_fields {

// A string as is, an integer in decimal, a floating-point number as its truncated integer in
// decimal; anything else (or a missing member) is empty.
std::string Text(const json::Json& object, std::string_view key);

// Leading decimal digits (with an optional sign) of `text`; 0 when there are none. Values
// outside the 32-bit range are clamped.
int32_t Number(std::string_view text);

inline int32_t NumberMember(const json::Json& object, std::string_view key) {
  return Number(Text(object, key));
}

// The text of a CTCP ACTION ("\x01ACTION text\x01") without its wrapper; other text unchanged.
std::string_view StripAction(std::string_view text);

}  // namespace vlo::alert_fields
