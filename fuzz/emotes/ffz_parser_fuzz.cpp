// Hostile catalogue responses: the parser must not crash, and what it keeps must be usable.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "emotes/CatalogueParsers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view body{reinterpret_cast<const char*>(data), size};
  for (const vlo::EmoteDef& def : vlo::ParseFfzEmotes(body, size % 2 == 0)) {
    if (def.name.empty() || def.name.find(' ') != std::string::npos) __builtin_trap();
    if (!def.url.starts_with("https://")) __builtin_trap();
  }
  return 0;
}
