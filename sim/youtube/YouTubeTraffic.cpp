#include "sim/youtube/YouTubeTraffic.h"

#include <chrono>

namespace vlo::sim {

namespace {

constexpr const char* kNames[] = {
    "Mira Holt", "pixelpanda", "Jonas K",    "NightOwl_77", "sunny.days", "Ava Brooks",
    "GG_Rex",    "lowkeyLuna", "Tomás Ruiz", "Kai",         "bytebandit", "Chloé M",
    "StreamFan", "ZeroCool",   "hana_k",     "RetroRita",   "Olu",        "frostbyte",
    "Priya S",   "moss_man",   "Lea",        "turbo_tim",   "Yuki",       "CaptainKale"};

constexpr const char* kTemplates[] = {"Kappa that was close",
                                      "PogChamp PogChamp",
                                      "LUL what a play",
                                      "KEKW",
                                      "catJAM catJAM catJAM",
                                      "monkaS this boss",
                                      "OMEGALUL no way",
                                      "Pog",
                                      "Sadge it's over",
                                      "Kappa SoSnowy",
                                      "hello from Berlin :yt:",
                                      "first time here :wave:",
                                      "gg everyone",
                                      "can you show the settings?",
                                      "this song slaps catJAM",
                                      "😂😂😂",
                                      "W stream",
                                      "lets gooo Pog",
                                      "how long have you been live?",
                                      "that chat filter though LUL"};

constexpr const char* kAmounts[] = {"$2.00", "$5.00", "€10.00", "£20.00", "$50.00", "¥1,000"};
constexpr const char* kLevels[] = {"Member", "Gold", "Diamond"};

}  // namespace

YouTubeTraffic::YouTubeTraffic(YouTubeSim& sim, std::string videoId, uint64_t seed)
    : sim_{sim}, videoId_{std::move(videoId)}, rng_{seed} {
  for (size_t i = 0; i < std::size(kNames); ++i) {
    YouTubeViewer viewer;
    viewer.name = kNames[i];
    viewer.channelId =
        "UCsimViewer" + std::string(11 - std::to_string(i).size(), '0') + std::to_string(i) + "xx";
    viewer.owner = i == 0;
    viewer.moderator = i == 1 || i == 2;
    viewer.member = i % 3 == 0;
    viewer.verified = i == 5;
    viewers_.push_back(std::move(viewer));
  }
}

YouTubeTraffic::~YouTubeTraffic() { Stop(); }

YouTubeEvent YouTubeTraffic::Next() {
  auto pick = [this](size_t n) { return static_cast<size_t>(rng_() % n); };
  YouTubeEvent event;
  event.viewer = viewers_[pick(viewers_.size())];
  const size_t roll = pick(1000);
  if (roll < 10 && !recentIds_.empty()) {
    event.kind = YouTubeEventKind::Delete;
    event.targetId = recentIds_[pick(recentIds_.size())];
  } else if (roll < 13) {
    event.kind = YouTubeEventKind::Ban;
    event.targetId = viewers_[6 + pick(viewers_.size() - 6)].channelId;
  } else if (roll < 28) {
    event.kind = YouTubeEventKind::SuperChat;
    event.amount = kAmounts[pick(std::size(kAmounts))];
    event.text = pick(3) == 0 ? "" : kTemplates[pick(std::size(kTemplates))];
  } else if (roll < 34) {
    event.kind = YouTubeEventKind::SuperSticker;
    event.amount = kAmounts[pick(std::size(kAmounts))];
    event.text = "Cat dancing with a party hat";
  } else if (roll < 42) {
    event.kind = YouTubeEventKind::NewMember;
    event.text = kLevels[pick(std::size(kLevels))];
  } else if (roll < 48) {
    event.kind = YouTubeEventKind::Milestone;
    event.count = 1 + static_cast<int>(pick(36));
    event.level = kLevels[pick(std::size(kLevels))];
    event.text = pick(2) ? "love this community" : "";
  } else if (roll < 52) {
    event.kind = YouTubeEventKind::Gift;
    event.count = 1 + static_cast<int>(pick(20));
    event.level = kLevels[pick(std::size(kLevels))];
  } else {
    event.text = kTemplates[pick(std::size(kTemplates))];
  }
  return event;
}

void YouTubeTraffic::PushBatch(size_t count) {
  for (size_t i = 0; i < count; ++i) {
    YouTubeEvent event = Next();
    const bool text = event.kind == YouTubeEventKind::Text;
    std::string id = sim_.Push(videoId_, std::move(event));
    if (text) {
      recentIds_.push_back(std::move(id));
      if (recentIds_.size() > 50) recentIds_.erase(recentIds_.begin());
    }
  }
}

void YouTubeTraffic::Start(double perSecond) {
  Stop();
  running_.store(true);
  thread_ = std::thread{[this, perSecond] {
    const auto step = std::chrono::microseconds{
        static_cast<int64_t>(1'000'000 / (perSecond > 0.01 ? perSecond : 0.01))};
    auto due = std::chrono::steady_clock::now();
    while (running_.load()) {
      due += step;
      while (running_.load() && std::chrono::steady_clock::now() < due) {
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            due - std::chrono::steady_clock::now(), std::chrono::milliseconds{50}));
      }
      if (running_.load()) PushBatch(1);
    }
  }};
}

void YouTubeTraffic::Stop() {
  running_.store(false);
  if (thread_.joinable()) thread_.join();
}

}  // namespace vlo::sim
