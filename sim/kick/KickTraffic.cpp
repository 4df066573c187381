#include "sim/kick/KickTraffic.h"

#include <array>
#include <ctime>

#include "sim/ChatVocabulary.h"

namespace vlo::sim {

namespace {

constexpr auto& kNameStarts = kViewerNameStarts;
constexpr auto& kNameEnds = kViewerNameEnds;
constexpr std::array kColors = {"#FF6B6B", "#4ECDC4", "#FFD93D", "#6C5CE7", "#00B894",
                                "#E17055", "#0984E3", "#FD79A8", "#B2BEC3", "#55EFC4"};
constexpr auto& kPhrases = kChatPhrases;
// Kick's own emotes travel as markup; the catalogue emotes are plain words.
constexpr std::array kKickEmotes = {"[emote:37226:KEKW]", "[emote:37227:LULW]",
                                    "[emote:39261:catJAM]", "[emote:37230:monkaS]",
                                    "[emote:37225:Sadge]"};
constexpr std::array kWordEmotes = {"Kappa", "PogChamp", "LUL", "OMEGALUL", "Pog", "catJAM"};

}  // namespace

std::string KickTimestamp(int64_t ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S+00:00", &parts);
  return text;
}

KickTraffic::KickTraffic(int64_t chatroomId, int64_t channelId, uint64_t seed)
    : chatroomId_{chatroomId}, channelId_{channelId}, rng_{seed} {
  for (int i = 0; i < 40; ++i) {
    KickViewer viewer;
    viewer.username = std::string{kNameStarts[Uniform(0, kNameStarts.size() - 1)]} +
                      std::string{kNameEnds[Uniform(0, kNameEnds.size() - 1)]} +
                      std::to_string(Uniform(1, 99));
    viewer.id = 1000000 + Uniform(0, 8999999);
    viewer.color = kColors[Uniform(0, kColors.size() - 1)];
    const int roll = Uniform(0, 99);
    if (roll < 3) viewer.badges.push_back("moderator");
    if (roll >= 3 && roll < 6) viewer.badges.push_back("vip");
    if (roll >= 6 && roll < 10) viewer.badges.push_back("og");
    if (roll < 40) viewer.badges.push_back(roll % 7 == 0 ? "founder" : "subscriber");
    if (roll >= 90) viewer.badges.push_back("sub_gifter");
    viewers_.push_back(std::move(viewer));
  }
  viewers_.front().badges = {"broadcaster"};
}

int KickTraffic::Uniform(int low, int high) {
  return std::uniform_int_distribution<int>{low, high}(rng_);
}

const KickViewer& KickTraffic::PickViewer() { return viewers_[Uniform(1, viewers_.size() - 1)]; }

std::string KickTraffic::NewMessageId() {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id;
  for (int i = 0; i < 36; ++i) {
    id.push_back(i == 8 || i == 13 || i == 18 || i == 23 ? '-' : kHex[Uniform(0, 15)]);
  }
  return id;
}

std::string KickTraffic::PickContent() {
  std::string content{kPhrases[Uniform(0, kPhrases.size() - 1)]};
  const int emotes = Uniform(0, 3);
  for (int i = 0; i < emotes; ++i) {
    content += ' ';
    content += Uniform(0, 1) == 0 ? kKickEmotes[Uniform(0, kKickEmotes.size() - 1)]
                                  : kWordEmotes[Uniform(0, kWordEmotes.size() - 1)];
    if (Uniform(0, 9) == 0) content += " SoSnowy";  // zero-width, stacks on the emote before
  }
  return content;
}

std::string KickTraffic::NextChat(int64_t nowMs) {
  std::string id = NewMessageId();
  recentIds_.push_back(id);
  if (recentIds_.size() > 50) recentIds_.pop_front();
  return KickChatFrame(chatroomId_, id, PickViewer(), PickContent(), KickTimestamp(nowMs));
}

std::vector<std::string> KickTraffic::Next(int64_t nowMs) {
  const int roll = Uniform(0, 999);
  if (roll < 880 || recentIds_.empty()) return {NextChat(nowMs)};
  if (roll < 920) {
    const size_t pick = Uniform(0, recentIds_.size() - 1);
    std::string id = recentIds_[pick];
    recentIds_.erase(recentIds_.begin() + pick);
    return {KickDeleteFrame(chatroomId_, id)};
  }
  if (roll < 930) return {KickBanFrame(chatroomId_, PickViewer(), false)};
  const KickViewer& viewer = PickViewer();
  if (roll < 950) {
    return KickSubscriptionFrames(chatroomId_, channelId_, viewer.username, Uniform(1, 24));
  }
  if (roll < 960) {
    std::vector<std::string> recipients;
    const int count = Uniform(0, 2) == 0 ? 1 : Uniform(2, 10);
    for (int i = 0; i < count; ++i) recipients.push_back(PickViewer().username);
    return {KickGiftedSubsFrame(chatroomId_, viewer.username, recipients)};
  }
  if (roll < 965) {
    // Every hosting is an event of its own, as the service's message ids make it.
    return {
        KickHostedFrame(channelId_, viewer.username, Uniform(2, 500), "hi chat", NewMessageId())};
  }
  if (roll < 980) {
    return {KickKicksGiftFrame(channelId_, viewer, Uniform(0, 3) == 0 ? 0 : 100 * Uniform(1, 10),
                               "Rose", "for the stream")};
  }
  return {KickFollowFrame(channelId_, viewer.username, true)};
}

}  // namespace vlo::sim
