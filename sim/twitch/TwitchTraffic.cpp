#include "sim/twitch/TwitchTraffic.h"

#include <array>
#include <string_view>

#include "sim/ChatVocabulary.h"

namespace vlo::sim {
namespace {

constexpr auto& kNameStarts = kViewerNameStarts;
constexpr auto& kNameEnds = kViewerNameEnds;
// Display names some viewers choose in their own script (the login stays ASCII).
constexpr std::array<std::string_view, 6> kLocalNames{"\xE5\xB0\x8F\xE6\x98\x8E",  // 小明
                                                      "\xEC\xA7\x80\xEB\xAF\xBC",  // 지민
                                                      "\xE3\x81\x95\xE3\x81\x8F\xE3\x82\x89",
                                                      "\xD0\x9C\xD0\xB0\xD1\x88\xD0\xB0",
                                                      "\xE9\xBE\x8D\xE7\x8E\x8B",
                                                      "J\xC3\xBCrgen"};
constexpr std::array<std::string_view, 12> kColors{"#FF0000", "#0000FF", "#008000", "#B22222",
                                                   "#FF7F50", "#9ACD32", "#FF4500", "#2E8B57",
                                                   "#DAA520", "#D2691E", "#5F9EA0", "#1E90FF"};
constexpr auto& kPhrases = kChatPhrases;
constexpr std::array<std::string_view, 12> kForeign{
    "\xE3\x81\x99\xE3\x81\x94\xE3\x81\x84\xEF\xBC\x81",                           // すごい！
    "\xE4\xBD\xA0\xE5\xA5\xBD\xE5\x95\x8A",                                       // 你好啊
    "\xEB\x8C\x80\xEB\xB0\x95",                                                   // 대박
    "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD1\x87\xD0\xB0\xD1\x82",  // привет чат
    "sch\xC3\xB6n gespielt",                                                      // schön gespielt
    "qu\xC3\xA9 jugada",                                                          // qué jugada
    "\xF0\x9F\x94\xA5\xF0\x9F\x94\xA5\xF0\x9F\x94\xA5",                           // fire emoji
    "\xF0\x9F\x98\x82 \xF0\x9F\x98\x82",                                          // laughing emoji
    "\xC3\xA7"
    "a va \xC3\xAAtre dur",                      // ça va être dur
    "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7",  // مرحبا
    "\xE0\xB8\xAA\xE0\xB8\xA7\xE0\xB8\xB1\xE0\xB8\xAA\xE0\xB8\x94\xE0\xB8\xB5",
    "\xCE\xBA\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1"};
// The service's own emotes (they get positions) and catalogue emotes (plain words).
constexpr std::array<std::string_view, 6> kNativeEmotes{"Kappa", "PogChamp",   "LUL",
                                                        "Keepo", "BibleThump", "SeemsGood"};
constexpr std::array<std::string_view, 7> kWordEmotes{"KEKW", "catJAM", "monkaS",   "OMEGALUL",
                                                      "Pog",  "Sadge",  "PepeLaugh"};
constexpr std::array<std::string_view, 4> kPlans{"1000", "1000", "2000", "Prime"};
constexpr std::array<std::string_view, 4> kResubTexts{"still here Kappa", "love the streams",
                                                      "\x01"
                                                      "ACTION dances\x01",
                                                      "3 years wow PogChamp"};

}  // namespace

TwitchTraffic::TwitchTraffic(TwitchRoom room, uint64_t seed) : room_{std::move(room)}, rng_{seed} {
  TwitchViewer broadcaster{room_.channel,
                           room_.channel,
                           room_.roomId,
                           "#9146FF",
                           "broadcaster/1,subscriber/3000,partner/1",
                           "subscriber/60",
                           false,
                           true,
                           false};
  viewers_.push_back(broadcaster);
  for (int i = 0; i < 60; ++i) {
    TwitchViewer viewer;
    viewer.login = std::string{kNameStarts[Uniform(0, kNameStarts.size() - 1)]} +
                   std::string{kNameEnds[Uniform(0, kNameEnds.size() - 1)]} +
                   std::to_string(Uniform(1, 999));
    viewer.displayName = viewer.login;
    if (Chance(40)) viewer.displayName[0] = static_cast<char>(viewer.displayName[0] - 'a' + 'A');
    if (Chance(8)) viewer.displayName = kLocalNames[Uniform(0, kLocalNames.size() - 1)];
    viewer.userId = std::to_string(Uniform(10'000'000, 999'999'999));
    if (!Chance(15)) viewer.color = kColors[Uniform(0, kColors.size() - 1)];
    std::vector<std::string> badges;
    const int role = Uniform(0, 99);
    viewer.mod = role < 5;
    viewer.vip = role >= 5 && role < 8;
    if (viewer.mod) badges.emplace_back("moderator/1");
    if (viewer.vip) badges.emplace_back("vip/1");
    viewer.subscriber = Chance(35);
    if (viewer.subscriber) {
      const int months = Uniform(1, 48);
      viewer.badgeInfo = "subscriber/" + std::to_string(months);
      badges.emplace_back(Chance(10) ? "founder/0"
                                     : "subscriber/" + std::to_string(months >= 12 ? 12 : 0));
    }
    if (Chance(10)) badges.emplace_back("premium/1");
    if (Chance(5)) badges.emplace_back("glhf-pledge/1");
    for (const auto& badge : badges) {
      if (!viewer.badges.empty()) viewer.badges += ',';
      viewer.badges += badge;
    }
    viewers_.push_back(std::move(viewer));
  }
}

int TwitchTraffic::Uniform(int low, int high) {
  return std::uniform_int_distribution<int>{low, high}(rng_);
}

const TwitchViewer& TwitchTraffic::PickViewer() {
  return viewers_[Uniform(1, static_cast<int>(viewers_.size()) - 1)];
}

std::string TwitchTraffic::NewUuid() {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id(36, '-');
  for (size_t i = 0; i < id.size(); ++i) {
    if (i != 8 && i != 13 && i != 18 && i != 23) id[i] = kHex[Uniform(0, 15)];
  }
  return id;
}

std::string TwitchTraffic::PickText(bool& nonAscii) {
  // A third of the messages carry non-ASCII text.
  nonAscii = lineCount_++ % 3 == 2;
  std::string text{nonAscii ? kForeign[Uniform(0, kForeign.size() - 1)]
                            : kPhrases[Uniform(0, kPhrases.size() - 1)]};
  const int emotes = Uniform(0, 3);
  for (int i = 0; i < emotes; ++i) {
    text += ' ';
    text += Chance(50) ? kNativeEmotes[Uniform(0, kNativeEmotes.size() - 1)]
                       : kWordEmotes[Uniform(0, kWordEmotes.size() - 1)];
    if (Chance(10)) text += " SoSnowy";  // zero-width, stacks on the emote before
  }
  if (Chance(15))
    text = std::string{kNativeEmotes[Uniform(0, kNativeEmotes.size() - 1)]} + " " + text;
  return text;
}

std::string TwitchTraffic::NextChat(int64_t nowMs) {
  const TwitchViewer& viewer = PickViewer();
  bool nonAscii{false};
  TwitchChat chat;
  chat.id = NewUuid();
  chat.text = PickText(nonAscii);
  chat.sentMs = nowMs;
  chat.firstMessage = Chance(3);
  chat.clientNonce = NewUuid().substr(0, 32);
  const int style = Uniform(0, 99);
  if (style < 4) {
    chat.action = true;
  } else if (style < 10 && !recent_.empty()) {
    const Recent& parent = recent_[Uniform(0, static_cast<int>(recent_.size()) - 1)];
    for (const auto& v : viewers_) {
      if (v.login == parent.login) chat.replyTo = &v;
    }
    chat.replyParentId = parent.id;
    chat.replyParentBody = parent.text;
  }
  recent_.push_back({chat.id, viewer.login, chat.text});
  if (recent_.size() > 50) recent_.pop_front();
  return TwitchPrivmsgLine(room_, viewer, chat);
}

std::vector<std::string> TwitchTraffic::Next(int64_t nowMs) {
  const int roll = Uniform(0, 999);
  if (roll < 860 || recent_.empty()) return {NextChat(nowMs)};
  if (roll < 900) {  // a moderator deletes a recent message
    const size_t pick = Uniform(0, static_cast<int>(recent_.size()) - 1);
    Recent gone = recent_[pick];
    recent_.erase(recent_.begin() + static_cast<std::ptrdiff_t>(pick));
    return {TwitchClearMsgLine(room_, gone.login, gone.id, nowMs, gone.text)};
  }
  const TwitchViewer& viewer = PickViewer();
  if (roll < 915) {  // a time-out, now and then a ban
    return {TwitchClearChatLine(room_, viewer.userId, viewer.login, nowMs, Chance(80) ? 600 : 0)};
  }
  if (roll < 935) {  // a cheer
    TwitchChat chat;
    chat.id = NewUuid();
    chat.sentMs = nowMs;
    chat.bits = Chance(20) ? 1 : 100 * Uniform(1, 10);
    chat.text = "Cheer" + std::to_string(chat.bits) + " " +
                std::string{kPhrases[Uniform(0, kPhrases.size() - 1)]};
    return {TwitchPrivmsgLine(room_, viewer, chat)};
  }
  if (roll < 950) return {TwitchSubLine(room_, viewer, NewUuid(), nowMs, kPlans[Uniform(0, 3)])};
  if (roll < 965) {
    return {TwitchResubLine(room_, viewer, NewUuid(), nowMs, kPlans[Uniform(0, 3)], Uniform(2, 60),
                            kResubTexts[Uniform(0, kResubTexts.size() - 1)])};
  }
  if (roll < 975) {
    return {TwitchSubGiftLine(room_, Chance(20) ? nullptr : &viewer, PickViewer(), NewUuid(), nowMs,
                              {})};
  }
  if (roll < 982) {  // a mystery gift and the single gifts that belong to it
    const TwitchViewer* gifter = Chance(20) ? nullptr : &viewer;
    const int count = Uniform(2, 5) * (Chance(30) ? 5 : 1);
    const std::string communityId = std::to_string(Uniform(100'000'000, 999'999'999));
    std::vector<std::string> lines{
        TwitchMysteryGiftLine(room_, gifter, NewUuid(), nowMs, count, communityId)};
    for (int i = 0; i < count; ++i) {
      lines.push_back(
          TwitchSubGiftLine(room_, gifter, PickViewer(), NewUuid(), nowMs, communityId));
    }
    return lines;
  }
  if (roll < 988) return {TwitchRaidLine(room_, viewer, NewUuid(), nowMs, Uniform(2, 2500))};
  if (roll < 994) {
    return {TwitchAnnouncementLine(room_, viewers_.front(), NewUuid(), nowMs,
                                   "Giveaway at the top of the hour! Kappa")};
  }
  return {NextChat(nowMs)};
}

}  // namespace vlo::sim
