// Decode cost of typical emote images and splitter throughput on chat-like messages.
// Run: build/bench/emotes/emotes_bench

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <unordered_map>

#include "emotes/ImageDecoder.h"
#include "emotes/SplitMessage.h"
#include "sim/emotes/EmotePictures.h"

namespace {

void Decode(benchmark::State& state, const std::string& bytes) {
  size_t decoded = 0;
  for (auto _ : state) {
    auto image = vlo::DecodeImage(bytes);
    if (!image) {
      state.SkipWithError("decode failed");
      return;
    }
    decoded = image->frames.size() * image->frames[0].size();
    benchmark::DoNotOptimize(image);
  }
  state.counters["encoded_bytes"] = static_cast<double>(bytes.size());
  state.counters["decoded_bytes"] = static_cast<double>(decoded);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

// A 2x emote is 56 x 56 (28 logical pixels at twice the density).
void BM_DecodeStillPng2x(benchmark::State& state) {
  Decode(state, vlo::sim::FacePng(56, 56, 30, 0));
}
void BM_DecodeStillJpeg2x(benchmark::State& state) {
  Decode(state, vlo::sim::FaceJpeg(56, 56, 30, 0));
}
void BM_DecodeStillWebp2x(benchmark::State& state) {
  Decode(state, vlo::sim::FaceWebp(56, 56, 30, 0));
}
void BM_DecodeGif100Frames(benchmark::State& state) {
  Decode(state, vlo::sim::BouncingGif(200, 100));
}
void BM_DecodeAnimatedWebp100Frames(benchmark::State& state) {
  Decode(state, vlo::sim::PulsingWebp(200, 100));
}

BENCHMARK(BM_DecodeStillPng2x);
BENCHMARK(BM_DecodeStillJpeg2x);
BENCHMARK(BM_DecodeStillWebp2x);
BENCHMARK(BM_DecodeGif100Frames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAnimatedWebp100Frames)->Unit(benchmark::kMillisecond);

// 300 catalogue emotes, messages of 6 to 20 words of which about a quarter are emotes, some
// Twitch ranges and an occasional invisible character.
void BM_SplitMessage(benchmark::State& state) {
  std::unordered_map<std::string, vlo::EmoteDef> catalogue;
  std::vector<std::string> names;
  for (int i = 0; i < 300; ++i) {
    std::string name = "emote" + std::to_string(i) + (i % 2 ? "JAM" : "W");
    names.push_back(name);
    catalogue[name] = vlo::EmoteDef{name, "https://cdn.example/emote/" + std::to_string(i) + "/2x",
                                    vlo::EmoteSource::SevenTv, i % 50 == 0, i % 3 == 0};
  }
  const std::vector<std::string> words{"hello", "that", "was", "so",   "good",  "lol", "what",
                                       "a",     "play", "gg",  "chat", "héllo", "!!",  "ok"};
  std::mt19937 random{7};
  std::vector<plx::ChatMessage> messages;
  size_t totalBytes = 0;
  for (int m = 0; m < 1000; ++m) {
    plx::ChatMessage message;
    message.platform = plx::PlatformId::Twitch;
    if (m % 4 == 0) {
      message.body = "Kappa ";
      message.tags.push_back("emotes=25:0-4");
    }
    const int count = 6 + static_cast<int>(random() % 15);
    for (int w = 0; w < count; ++w) {
      if (random() % 4 == 0) {
        message.body += names[random() % names.size()];
      } else {
        message.body += words[random() % words.size()];
      }
      if (random() % 30 == 0) message.body += "\xE2\x80\x8B";
      message.body += ' ';
    }
    totalBytes += message.body.size();
    messages.push_back(std::move(message));
  }
  const vlo::EmoteLookup lookup =
      [&catalogue](std::string_view word) -> std::optional<vlo::EmoteDef> {
    auto it = catalogue.find(std::string{word});
    if (it == catalogue.end()) return std::nullopt;
    return it->second;
  };
  for (auto _ : state) {
    for (const plx::ChatMessage& message : messages) {
      benchmark::DoNotOptimize(vlo::SplitMessage(message, lookup));
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * messages.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * totalBytes));
}
BENCHMARK(BM_SplitMessage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
