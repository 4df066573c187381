#pragma once

// Converts the live chat page's actions and renderers into chat items in the Data API's shape,
// so both YouTube readers feed the same item handler. Pure functions.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Json.h"

namespace vlo {

// Plain text of a text object: "simpleText", or the "runs" joined (emoji as their shortcut or id).
std::string RunsToText(const json::Json& text);

// Microseconds since 1970 (1 to 19 decimal digits) to "YYYY-MM-DDTHH:MM:SS.mmmZ"; else empty.
std::string UsecToIso(std::string_view usec);

// The first number in `text`, allowing "," and "." inside it; digits stop counting once the
// value passes 99999. 0 when there is none.
int64_t NumberInText(std::string_view text);

// One renderer holder (the "item" of an add action) as a chat item object; absent for renderer
// kinds that carry no chat item or a text message without text.
std::optional<json::Json> ConvertRenderer(const json::Json& item);

// One action of the array as a chat item object; absent for an action that carries none.
std::optional<json::Json> ConvertChatAction(const json::Json& action);

// Appends one compact JSON chat item per usable action of the array `actions`.
void ConvertChatActions(const json::Json& actions, std::vector<std::string>& items);

}  // namespace vlo
