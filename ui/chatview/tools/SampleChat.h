#pragma once

#include <memory>
#include <vector>

#include "core/ChatMessage.h"
#include "ui/chatview/ImageSource.h"
#include "ui/chatview/RowLayout.h"

namespace vlo::sample {

// Emote image keys of the sample chat.
inline constexpr const char* kGrinKey{"https://emotes.example/grin.png"};
inline constexpr const char* kWideKey{"https://emotes.example/wide.png"};
inline constexpr const char* kSpinKey{"https://emotes.example/spin.gif"};
inline constexpr const char* kHatKey{"https://emotes.example/hat.png"};

// A still image drawn in code: a round face in `hue` (0..359), width × height pixels.
SharedImage MakeFace(int width, int height, int hue);
// An animated image: `frames` frames of `delayMs` each, the face turning through the hues.
SharedImage MakeSpinner(int size, int frames, int delayMs);
// A hat that sits over another emote (transparent lower half).
SharedImage MakeHat(int size);

// Images for every sample key.
std::shared_ptr<MapImageSource> SampleImages();
// Catalogue words: "grin", "wide", "spin" (animated) and "hat" (zero width).
PlatformEmoteLookup SampleLookup();

// Representative rows: every badge kind, alerts, system lines, outbound, deleted, actions,
// emotes and overlays, long wrapped text, on the three platforms. `startMs` is the first time.
std::vector<plx::ChatRow> SampleRows(int64_t startMs);

// A plain viewer message for load figures.
plx::ChatRow MakeRow(int index, std::string body);

}  // namespace vlo::sample
