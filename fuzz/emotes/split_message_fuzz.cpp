// Hostile message bodies and tags for the splitter.

#include <cstddef>
#include <cstdint>
#include <string>

#include "emotes/SplitMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Layout: tag text, a NUL, then the body.
  const std::string input{reinterpret_cast<const char*>(data), size};
  const size_t split = input.find('\0');
  plx::ChatMessage message;
  message.platform = size % 3 == 0 ? plx::PlatformId::Kick : plx::PlatformId::Twitch;
  message.body = split == std::string::npos ? input : input.substr(split + 1);
  if (split != std::string::npos) {
    message.tags = {"emotes=" + input.substr(0, split), "kemote=" + input.substr(0, split)};
  }
  const auto lookup = [](std::string_view word) -> std::optional<vlo::EmoteDef> {
    if (word.size() < 3 || word[0] != 'Z') return std::nullopt;
    return vlo::EmoteDef{std::string{word}, "https://x/" + std::string{word},
                         vlo::EmoteSource::BetterTtv, word[1] == 'W', false};
  };
  for (const vlo::EmoteRun& run : vlo::SplitMessage(message, lookup)) {
    if (!run.isEmote && run.text.empty()) __builtin_trap();
    if (run.isEmote && !run.imageKey.starts_with("https://")) __builtin_trap();
  }
  return 0;
}
