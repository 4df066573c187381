#include <gtest/gtest.h>

#include <ostream>

#include "emotes/CatalogueParsers.h"

namespace vlo {

void PrintTo(const EmoteDef& def, std::ostream* os) {
  *os << "{" << def.name << ", " << def.url << ", " << ProviderName(def.source)
      << (def.zeroWidth ? ", zero-width" : "") << (def.channel ? ", channel" : "") << "}";
}

namespace {

using Defs = std::vector<EmoteDef>;

EmoteDef Seven(std::string name, std::string url, bool zeroWidth = false, bool channel = false) {
  return {std::move(name), std::move(url), EmoteSource::SevenTv, zeroWidth, channel};
}

TEST(CatalogueParsersTest, SevenTvPicksTheFileAndNormalisesUrls) {
  const char* body = R"({"id": "set", "emote_set": {"emotes": [
    {"name": "catJAM", "flags": 0, "data": {"animated": true,
      "host": {"url": "//cdn.test/emote/A", "files": [{"name": "1x.gif"}, {"name": "2x.webp"}]}}},
    {"name": "NoFiles", "data": {"animated": true, "host": {"url": "//cdn.test/emote/B"}}},
    {"name": "Still", "data": {"animated": false, "host": {"url": "https://cdn.test/emote/C",
      "files": [{"name": "1x.png"}, {"name": "2x.webp"}, {"name": "2x.png"}]}}},
    {"name": "WebpOnly", "data": {"host": {"url": "//cdn.test/emote/D",
      "files": [{"name": "2x.webp"}, {"name": "4x.avif"}]}}},
    {"name": "Avif", "data": {"animated": "yes", "host": {"url": "//cdn.test/emote/E",
      "files": [{"name": "4x.avif"}]}}},
    {"name": "RainTime", "flags": 257, "data": {"host": {"url": "//cdn.test/emote/F"}}},
    {"name": "StringFlags", "flags": "1", "data": {"host": {"url": "//cdn.test/emote/G"}}},
    {"name": "two words", "data": {"host": {"url": "//cdn.test/emote/H"}}},
    {"name": "", "data": {"host": {"url": "//cdn.test/emote/I"}}},
    {"name": "Plain", "data": {"host": {"url": "http://cdn.test/emote/J"}}},
    {"name": "NoData"},
    {"name": 42, "data": {"host": {"url": "//cdn.test/emote/K"}}},
    "not an object"
  ]}})";
  EXPECT_EQ(ParseSevenTvEmotes(body, true),
            (Defs{Seven("catJAM", "https://cdn.test/emote/A/1x.gif", false, true),
                  Seven("NoFiles", "https://cdn.test/emote/B/2x.gif", false, true),
                  Seven("Still", "https://cdn.test/emote/C/2x.png", false, true),
                  Seven("WebpOnly", "https://cdn.test/emote/D/2x.webp", false, true),
                  Seven("Avif", "https://cdn.test/emote/E/2x.png", false, true),
                  Seven("RainTime", "https://cdn.test/emote/F/2x.png", true, true),
                  Seven("StringFlags", "https://cdn.test/emote/G/2x.png", false, true),
                  Seven("42", "https://cdn.test/emote/K/2x.png", false, true)}));
}

TEST(CatalogueParsersTest, SevenTvShapes) {
  // A global set is the set itself; a user wraps it in "emote_set".
  const char* global = R"({"emotes": [{"name": "Pog", "data": {"host": {"url": "//c/e/1"}}}]})";
  EXPECT_EQ(ParseSevenTvEmotes(global, false), (Defs{Seven("Pog", "https://c/e/1/2x.png")}));
  EXPECT_TRUE(ParseSevenTvEmotes(R"({"emote_set": null, "emotes": 5})", false).empty());
  EXPECT_TRUE(ParseSevenTvEmotes(R"({"emote_set": {"emotes": {}}})", false).empty());
  EXPECT_TRUE(ParseSevenTvEmotes("not json", false).empty());
  EXPECT_TRUE(ParseSevenTvEmotes("[]", false).empty());
}

TEST(CatalogueParsersTest, BetterTtvLists) {
  const auto bttv = [](std::string name, std::string id, bool zeroWidth, bool channel) {
    return EmoteDef{std::move(name), "https://img.test:8443/emote/" + id + "/2x",
                    EmoteSource::BetterTtv, zeroWidth, channel};
  };
  const char* global = R"([
    {"id": "54fa8f1401e468494b85b537", "code": "Sadge"},
    {"id": "5", "code": "SoSnowy"},
    {"id": 77, "code": "IntId"},
    {"id": "bad/id", "code": "Slash"},
    {"id": "x", "code": "two words"},
    {"id": "y", "code": ""},
    {"id": "", "code": "NoId"},
    {"id": "z", "code": "sosnowy"}
  ])";
  EXPECT_EQ(ParseBttvEmotes(global, false, "img.test:8443"),
            (Defs{bttv("Sadge", "54fa8f1401e468494b85b537", false, false),
                  bttv("SoSnowy", "5", true, false), bttv("IntId", "77", false, false),
                  bttv("sosnowy", "z", false, false)}));
  const char* user = R"({"id": "u", "sharedEmotes": [{"id": "s1", "code": "OMEGALUL"}],
    "channelEmotes": [{"id": "c1", "code": "cvMask"}, {"id": "c2", "code": "Hmm"}]})";
  EXPECT_EQ(ParseBttvEmotes(user, true, "img.test:8443"),
            (Defs{bttv("cvMask", "c1", true, true), bttv("Hmm", "c2", false, true),
                  bttv("OMEGALUL", "s1", false, true)}));
  EXPECT_TRUE(ParseBttvEmotes(R"({"channelEmotes": {}, "sharedEmotes": 1})", true, "h").empty());
  EXPECT_TRUE(ParseBttvEmotes("{oops", true, "h").empty());
  EXPECT_EQ(
      ParseBttvEmotes(std::string(R"([{"id": ")") + std::string(65, 'a') + R"(", "code": "Long"}])",
                      false, "h")
          .size(),
      0u);
}

TEST(CatalogueParsersTest, FrankerFaceZSets) {
  const auto ffz = [](std::string name, std::string url, bool channel) {
    return EmoteDef{std::move(name), std::move(url), EmoteSource::FrankerFaceZ, false, channel};
  };
  const char* global = R"({"default_sets": [3, "9"], "sets": {
    "3": {"emoticons": [
      {"name": "KEKW", "urls": {"1": "//cdn.test/emote/1/1", "2": "//cdn.test/emote/1/2"}},
      {"name": "NoUrls", "urls": {}},
      {"name": "PlainOnly", "urls": {"2": "http://cdn.test/x", "1": "ftp://x"}},
      {"name": "has space", "urls": {"1": "//cdn.test/emote/2/1"}}]},
    "9": {"emoticons": [{"name": "OnlyFour", "urls": {"4": "//cdn.test/emote/3/4"}},
                        {"name": "FallsBack", "urls": {"2": "", "1": "https://cdn.test/emote/4/1"}}]},
    "4": {"emoticons": [{"name": "NotDefault", "urls": {"1": "//cdn.test/emote/5/1"}}]},
    "5": "not a set"}})";
  EXPECT_EQ(ParseFfzEmotes(global, false),
            (Defs{ffz("KEKW", "https://cdn.test/emote/1/2", false),
                  ffz("OnlyFour", "https://cdn.test/emote/3/4", false),
                  ffz("FallsBack", "https://cdn.test/emote/4/1", false)}));
  // A room: every set is used.
  const char* room = R"({"room": {"id": 1}, "sets": {
    "100": {"emoticons": [{"name": "monkaW", "urls": {"2": "//cdn.test/emote/6/2"}}]},
    "101": {"emoticons": [{"name": "Other", "urls": {"1": "//cdn.test/emote/7/1"}}]}}})";
  EXPECT_EQ(ParseFfzEmotes(room, true), (Defs{ffz("monkaW", "https://cdn.test/emote/6/2", true),
                                              ffz("Other", "https://cdn.test/emote/7/1", true)}));
  EXPECT_TRUE(ParseFfzEmotes(R"({"sets": []})", false).empty());
  EXPECT_TRUE(ParseFfzEmotes(R"([{"sets": {}}])", false).empty());
  EXPECT_TRUE(ParseFfzEmotes(R"({"default_sets": [], "sets": {"1": {"emoticons": [
    {"name": "X", "urls": {"1": "//c/1"}}]}}})",
                             false)
                  .empty());
}

}  // namespace
}  // namespace vlo
