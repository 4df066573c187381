#include <gtest/gtest.h>

#include <map>
#include <ostream>

#include "core/Endpoints.h"
#include "emotes/SplitMessage.h"

namespace vlo {

void PrintTo(const EmoteRun& run, std::ostream* os) {
  if (!run.isEmote) {
    *os << "Text(\"" << run.text << "\")";
    return;
  }
  *os << "Emote(\"" << run.text << "\", " << run.imageKey << ", " << ProviderName(run.source)
      << (run.overlay ? ", overlay" : "") << (run.channel ? ", channel" : "") << ")";
}

namespace {

using plx::PlatformId;

EmoteRun T(std::string text) {
  EmoteRun run;
  run.text = std::move(text);
  return run;
}

plx::ChatMessage Message(PlatformId platform, std::string body, std::vector<std::string> tags) {
  plx::ChatMessage message;
  message.platform = platform;
  message.body = std::move(body);
  message.tags = std::move(tags);
  return message;
}

EmoteRun E(std::string text, std::string key, EmoteSource source, bool overlay = false,
           bool channel = false) {
  return EmoteRun{.isEmote = true,
                  .text = std::move(text),
                  .imageKey = std::move(key),
                  .source = source,
                  .overlay = overlay,
                  .channel = channel};
}

const NativeImageHosts kHosts{.twitchEmoteCdn = "cdn.test", .kickFiles = "files.test"};
std::string Tw(std::string_view id) { return TwitchEmoteKey(kHosts, id); }
std::string Ki(std::string_view id) { return KickEmoteKey(kHosts, id); }

const std::map<std::string, EmoteDef, std::less<>> kCatalogue{
    {"Cat", {"Cat", "https://b.test/cat", EmoteSource::BetterTtv, false, false}},
    {"SoSnowy", {"SoSnowy", "https://b.test/snow", EmoteSource::BetterTtv, true, false}},
    {"catJAM", {"catJAM", "https://7.test/jam", EmoteSource::SevenTv, false, true}},
    {"KEKW", {"KEKW", "https://f.test/kekw", EmoteSource::FrankerFaceZ, false, false}},
};

std::optional<EmoteDef> Lookup(std::string_view word) {
  auto it = kCatalogue.find(word);
  if (it == kCatalogue.end()) return std::nullopt;
  return it->second;
}

struct Case {
  const char* name;
  PlatformId platform;
  std::string body;
  std::vector<std::string> tags;
  std::vector<EmoteRun> expected;
};

TEST(SplitMessageTest, Cases) {
  const auto Tw25 = Tw("25");
  const auto snow = [](bool overlay) {
    return E("SoSnowy", "https://b.test/snow", EmoteSource::BetterTtv, overlay);
  };
  const EmoteRun cat = E("Cat", "https://b.test/cat", EmoteSource::BetterTtv);
  const EmoteRun jam = E("catJAM", "https://7.test/jam", EmoteSource::SevenTv, false, true);
  const EmoteRun kappa = E("Kappa", Tw25, EmoteSource::Twitch);
  const Case cases[] = {
      {"twitch ranges",
       PlatformId::Twitch,
       "Kappa hello Kappa",
       {"emotes=25:0-4,12-16"},
       {kappa, T(" hello "), kappa}},
      {"range past the end",
       PlatformId::Twitch,
       "0123456789",
       {"emotes=25:0-100"},
       {T("0123456789")}},
      {"range start after end",
       PlatformId::Twitch,
       "0123456789",
       {"emotes=25:5-3"},
       {T("0123456789")}},
      {"overlapping ranges keep the first",
       PlatformId::Twitch,
       "Kappa Keepo",
       {"emotes=1902:2-6/25:0-4"},
       {kappa, T(" Keepo")}},
      {"ranges count code points",
       PlatformId::Twitch,
       "h\xC3\xA9llo Kappa",
       {"emotes=25:6-10"},
       {T("h\xC3\xA9llo "), kappa}},
      {"four-byte characters",
       PlatformId::Twitch,
       "\xF0\x9F\x98\x80 Kappa!",
       {"emotes=25:2-6"},
       {T("\xF0\x9F\x98\x80 "), kappa, T("!")}},
      {"bad ids and ranges are ignored",
       PlatformId::Twitch,
       "Kappa",
       {"emotes=bad!id:0-4/:0-4/25:x-4,0-", "emotes=25"},
       {T("Kappa")}},
      {"ranges only on twitch", PlatformId::YouTube, "Kappa", {"emotes=25:0-4"}, {T("Kappa")}},
      {"words between ranges",
       PlatformId::Twitch,
       "Kappa catJAM Kappa",
       {"emotes=25:0-4,13-17"},
       {kappa, T(" "), jam, T(" "), kappa}},
      {"catalogue words",
       PlatformId::Twitch,
       "hi catJAM  KEKW",
       {},
       {T("hi "), jam, T("  "), E("KEKW", "https://f.test/kekw", EmoteSource::FrankerFaceZ)}},
      {"invisible characters are ignored for matching",
       PlatformId::Twitch,
       "catJAM\xE2\x80\x8B \xCD\x8F"
       "Cat\xF3\xA0\x80\x80",
       {},
       {jam, T(" "), cat}},
      {"a word of invisible characters disappears",
       PlatformId::Twitch,
       "hi \xE2\x80\x8B\xEF\xBB\xBF\xE2\x81\xA0 there",
       {},
       {T("hi  there")}},
      {"punctuation stops a match", PlatformId::Twitch, "Cat, catJAM!", {}, {T("Cat, catJAM!")}},
      {"case matters", PlatformId::Twitch, "cat", {}, {T("cat")}},
      {"overlay on an emote", PlatformId::Twitch, "Cat SoSnowy", {}, {cat, snow(true)}},
      {"overlays stack",
       PlatformId::Twitch,
       "Cat  SoSnowy SoSnowy",
       {},
       {cat, snow(true), snow(true)}},
      {"overlay after text is an emote",
       PlatformId::Twitch,
       "hello SoSnowy",
       {},
       {T("hello "), snow(false)}},
      {"overlay first is an emote",
       PlatformId::Twitch,
       "SoSnowy Cat",
       {},
       {snow(false), T(" "), cat}},
      {"overlay on a twitch emote",
       PlatformId::Twitch,
       "Kappa SoSnowy",
       {"emotes=25:0-4"},
       {kappa, snow(true)}},
      {"kick names win over the catalogue",
       PlatformId::Kick,
       "catJAM KEKLEO x",
       {"kemote=37226:KEKLEO", "kemote=1:catJAM", "kemote=2:catJAM", "kemote=bad id:x",
        "kemote=3:"},
       {E("catJAM", Ki("1"), EmoteSource::Kick), T(" "),
        E("KEKLEO", Ki("37226"), EmoteSource::Kick), T(" x")}},
      {"empty body", PlatformId::Twitch, "", {}, {}},
  };
  for (const Case& c : cases) {
    const plx::ChatMessage message = Message(c.platform, c.body, c.tags);
    EXPECT_EQ(SplitMessage(message, Lookup, kHosts), c.expected) << c.name;
  }
}

TEST(SplitMessageTest, WithoutLookupOnlyNativeEmotes) {
  const plx::ChatMessage message = Message(PlatformId::Twitch, "Kappa Cat", {"emotes=25:0-4"});
  EXPECT_EQ(SplitMessage(message, {}, kHosts),
            (std::vector<EmoteRun>{E("Kappa", Tw("25"), EmoteSource::Twitch), T(" Cat")}));
}

TEST(SplitMessageTest, KeysUseTheConfiguredHosts) {
  Endpoints endpoints;
  endpoints.twitchEmoteCdn = "http://127.0.0.1:4100";
  endpoints.kickFiles = "https://127.0.0.1:4200/prefix";
  const NativeImageHosts hosts = NativeImageHosts::From(endpoints);
  EXPECT_EQ(TwitchEmoteKey(hosts, "25"), "https://127.0.0.1:4100/emoticons/v2/25/default/dark/2.0");
  EXPECT_EQ(KickEmoteKey(hosts, "9"), "https://127.0.0.1:4200/prefix/emotes/9/fullsize");
  EXPECT_EQ(TwitchEmoteKey(NativeImageHosts{}, "25"),
            "https://static-cdn.jtvnw.net/emoticons/v2/25/default/dark/2.0");
  EXPECT_EQ(ProviderName(EmoteSource::SevenTv), "7TV");
  EXPECT_EQ(ProviderName(static_cast<EmoteSource>(9)), "");
}

}  // namespace
}  // namespace vlo
