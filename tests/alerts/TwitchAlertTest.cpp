#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "alerts/AlertDecoders.h"
#include "tests/alerts/AlertPrint.h"

namespace vlo {
namespace {

constexpr int64_t kNow = 1'700'000'123'456;

// Lines as the chat service sends them (tag sets trimmed of tags the decoder ignores).
const std::string kSubTags =
    "@badge-info=subscriber/0;badges=subscriber/0,premium/1;color=#FF4500;display-name=Amy;"
    "emotes=;flags=;id=a1;login=amy;mod=0;msg-id=sub;msg-param-cumulative-months=1;"
    "msg-param-sub-plan-name=Channel\\sSubscription;msg-param-sub-plan=Prime;room-id=1;"
    "system-msg=Amy\\ssubscribed\\swith\\sPrime.;tmi-sent-ts=1700000000000;user-id=7;user-type=";

std::string UserNotice(std::string tags, std::string text = {}) {
  return tags + " :tmi.twitch.tv USERNOTICE #chan" + (text.empty() ? "" : " :" + text) + "\r\n";
}

AlertEvent Tw(std::string id, AlertKind kind, std::string user, int32_t count = 0,
              std::string amount = {}, std::string message = {}) {
  return {std::move(id),     plx::PlatformId::Twitch, kind, std::move(user), count,
          std::move(amount), std::move(message),      kNow};
}

TEST(TwitchAlert, DecodesServiceLines) {
  struct Case {
    const char* name;
    std::string line;
    std::optional<AlertEvent> expected;
  } cases[] = {
      {"sub with Prime", UserNotice(kSubTags),
       Tw("tw-ev-a1", AlertKind::Subscribe, "Amy", 0, "Prime")},
      {"resub keeps the user's text without CR",
       UserNotice("@display-name=Bo;id=b2;login=bo;msg-id=resub;"
                  "msg-param-cumulative-months=14;msg-param-sub-plan=2000",
                  "still here :)"),
       Tw("tw-ev-b2", AlertKind::Resubscribe, "Bo", 14, "Tier 2", "still here :)")},
      {"resub text as an action loses the wrapper",
       UserNotice("@display-name=Bo;id=b3;msg-id=resub;msg-param-cumulative-months=3;"
                  "msg-param-sub-plan=1000",
                  "\x01"
                  "ACTION dances\x01"),
       Tw("tw-ev-b3", AlertKind::Resubscribe, "Bo", 3, "Tier 1", "dances")},
      {"single gift",
       UserNotice("@display-name=Gi;id=c1;login=gi;msg-id=subgift;"
                  "msg-param-recipient-display-name=Rex;msg-param-sub-plan=1000"),
       Tw("tw-ev-c1", AlertKind::GiftSub, "Gi", 1, {}, "Rex")},
      {"gift inside a mystery gift",
       UserNotice("@display-name=Gi;id=c2;msg-id=subgift;msg-param-community-gift-id=999;"
                  "msg-param-recipient-display-name=Rex"),
       std::nullopt},
      {"mystery gift",
       UserNotice("@display-name=Gi;id=c3;login=gi;msg-id=submysterygift;"
                  "msg-param-mass-gift-count=5;msg-param-sub-plan=1000"),
       Tw("tw-ev-c3", AlertKind::GiftSub, "Gi", 5)},
      {"anonsubgift",
       UserNotice("@display-name=;id=c4;msg-id=anonsubgift;"
                  "msg-param-recipient-display-name=Rex"),
       Tw("tw-ev-c4", AlertKind::GiftSub, "An anonymous gifter", 1, {}, "Rex")},
      {"anonsubmysterygift",
       UserNotice("@id=c5;msg-id=anonsubmysterygift;"
                  "msg-param-mass-gift-count=20"),
       Tw("tw-ev-c5", AlertKind::GiftSub, "An anonymous gifter", 20)},
      {"anonymous gift sent as subgift",
       UserNotice("@display-name=AnAnonymousGifter;id=c6;login=ananonymousgifter;"
                  "msg-id=subgift;msg-param-recipient-display-name=Rex"),
       Tw("tw-ev-c6", AlertKind::GiftSub, "An anonymous gifter", 1, {}, "Rex")},
      {"anonymous mystery gift sent as submysterygift",
       UserNotice("@display-name=AnAnonymousGifter;id=c7;login=ananonymousgifter;"
                  "msg-id=submysterygift;msg-param-mass-gift-count=3"),
       Tw("tw-ev-c7", AlertKind::GiftSub, "An anonymous gifter", 3)},
      {"raid",
       UserNotice("@display-name=Host;id=d1;login=host;msg-id=raid;"
                  "msg-param-displayName=RaidLeader;msg-param-login=raidleader;"
                  "msg-param-viewerCount=1234"),
       Tw("tw-ev-d1", AlertKind::Raid, "RaidLeader", 1234)},
      {"raid falls back to display name, then login, and id to now",
       UserNotice("@login=rl;msg-id=raid;msg-param-viewerCount=9"),
       Tw("tw-ev-1700000123456", AlertKind::Raid, "rl", 9)},
      {"announcement is no alert",
       UserNotice("@display-name=Mod;id=e1;msg-id=announcement;msg-param-color=PRIMARY", "hi"),
       std::nullopt},
      {"unknown msg-id", UserNotice("@id=e2;msg-id=bitsbadgetier"), std::nullopt},
      {"cheer of one bit",
       "@badges=;bits=1;display-name=Cy;id=f1;user-id=9 :cy!cy@cy.tmi.twitch.tv PRIVMSG #chan "
       ":Cheer1 nice\r",
       std::optional<AlertEvent>{AlertEvent{"tw-cheer-f1", plx::PlatformId::Twitch,
                                            AlertKind::Cheer, "Cy", 1, "1 bit", "Cheer1 nice",
                                            kNow}}},
      {"cheer in an action",
       "@bits=250;display-name=Cy;id=f2 :cy!cy@cy.tmi.twitch.tv PRIVMSG #chan "
       ":\x01"
       "ACTION Cheer250 yay\x01",
       std::optional<AlertEvent>{AlertEvent{"tw-cheer-f2", plx::PlatformId::Twitch,
                                            AlertKind::Cheer, "Cy", 250, "250 bits", "Cheer250 yay",
                                            kNow}}},
      {"cheer whose text names another command",
       "@bits=5;display-name=Cy;id=f3 :cy!cy@cy.tmi.twitch.tv PRIVMSG #chan :a USERNOTICE b",
       std::optional<AlertEvent>{AlertEvent{"tw-cheer-f3", plx::PlatformId::Twitch,
                                            AlertKind::Cheer, "Cy", 5, "5 bits", "a USERNOTICE b",
                                            kNow}}},
      {"PRIVMSG without bits", "@display-name=Cy;id=f4 :cy!cy@h PRIVMSG #chan :hello",
       std::nullopt},
      {"PRIVMSG with zero bits", "@bits=0;id=f5 :cy!cy@h PRIVMSG #chan :hello", std::nullopt},
      {"untagged line", ":cy!cy@h PRIVMSG #chan :hello", std::nullopt},
      {"tags without a command", "@msg-id=sub;display-name=A", std::nullopt},
      {"other command", "@room-id=1 :tmi.twitch.tv ROOMSTATE #chan", std::nullopt},
      {"empty", "", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeTwitchAlert(c.line, kNow), c.expected) << c.name;
  }
}

TEST(TwitchAlert, EscapedDisplayNameAndLaterDuplicateTag) {
  const auto event =
      DecodeTwitchAlert(UserNotice("@display-name=A\\sB\\:C;msg-id=raid;msg-param-viewerCount=1;"
                                   "msg-param-viewerCount=7"),
                        kNow);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->user, "A B;C");
  EXPECT_EQ(event->count, 7);
}

}  // namespace
}  // namespace vlo
