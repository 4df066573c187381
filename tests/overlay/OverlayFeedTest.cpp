#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "emotes/SplitMessage.h"
#include "overlay/OverlayAddress.h"
#include "overlay/OverlayFeed.h"

namespace vlo {
namespace {

plx::ChatRow Row(std::string id, std::vector<std::string> tags = {}, bool deleted = false) {
  plx::ChatRow row;
  row.id = std::move(id);
  row.author = "Ann";
  row.body = "hello";
  row.tags = std::move(tags);
  row.deleted = deleted;
  return row;
}

TEST(FeedStyleTest, ReadsThemeAndNamesFromTheQuery) {
  EXPECT_EQ(FeedStyle::FromQuery("theme=ocean&names=platform").Key(), "ocean/2");
  EXPECT_EQ(FeedStyle::FromQuery("names=softer&x=1&theme").Key(), "neon/1");
  // Unknown values keep the defaults.
  EXPECT_EQ(FeedStyle::FromQuery("theme=%3Cscript%3E&names=bold").Key(), "neon/0");
}

TEST(RowJsonTest, CarriesKindColoursBadgesAndRuns) {
  const FeedStyle style = FeedStyle::FromQuery("theme=graphite");
  const ChatPalette& p = style.theme->chatPalette;
  EmoteKeyBook emotes;
  const RowSplitter split = [](const plx::ChatMessage& m) { return SplitMessage(m); };

  plx::ChatRow message = Row("m1", {"color=#FF0000", "emotes=25:6-10"});
  message.body = "hello Kappa";
  const auto json = nlohmann::json::parse(RowJson(message, style, split, emotes));
  EXPECT_EQ(json["kind"], "message");
  EXPECT_EQ(json["platform"], "twitch");
  EXPECT_EQ(json["author"], "Ann");
  EXPECT_TRUE(json["bg"].is_null());
  EXPECT_EQ(json["badges"][0]["l"], "TW");
  ASSERT_EQ(json["runs"].size(), 2u);
  EXPECT_EQ(json["runs"][0]["t"], "hello ");
  EXPECT_EQ(json["runs"][1]["alt"], "Kappa");
  const std::string address = json["runs"][1]["e"];
  ASSERT_TRUE(address.starts_with("/emote/"));
  const std::string* key = emotes.Find(address.substr(7));
  ASSERT_NE(key, nullptr);
  EXPECT_NE(key->find("/emoticons/v2/25/"), std::string::npos);

  plx::ChatRow alert = Row("a1", {"event", "sub"});
  alert.platform = plx::PlatformId::Kick;
  const auto alertJson = nlohmann::json::parse(RowJson(alert, style, split, emotes));
  EXPECT_EQ(alertJson["kind"], "alert");
  EXPECT_EQ(alertJson["platform"], "kick");
  EXPECT_TRUE(alertJson["bg"].is_string());
  EXPECT_NE(alertJson["bg"], alertJson["bar"]);
  EXPECT_EQ(alertJson["badges"][0]["l"], "KICK");
  EXPECT_EQ(alertJson["badges"][0]["t"], HexText(mix(p.kickColor, p.text, 55)));

  const auto sentJson = nlohmann::json::parse(
      RowJson(Row("o1", {"outbound", "target=twitch"}), style, split, emotes));
  EXPECT_EQ(sentJson["kind"], "sent");
}

TEST(RowJsonTest, BrokenTextStillMakesValidJson) {
  plx::ChatRow row = Row("x");
  row.author = "bad\xff\xfename";
  row.body = "line\nbreak \"quoted\" </script>";
  EmoteKeyBook emotes;
  const std::string text = RowJson(row, FeedStyle{}, {}, emotes);
  // One line of an event stream: no raw line break may reach it.
  EXPECT_EQ(text.find('\n'), std::string::npos);
  const auto json = nlohmann::json::parse(text);
  EXPECT_EQ(json["runs"][0]["t"], "line\nbreak \"quoted\" </script>");
  EXPECT_EQ(json["author"], "bad\xEF\xBF\xBD\xEF\xBF\xBDname");
}

TEST(EmoteKeyBookTest, ServesOnlyKeysHandedOutAndForgetsTheOldest) {
  EmoteKeyBook book{2};
  const std::string a = book.Remember("https://cdn/a").substr(7);
  const std::string b = book.Remember("https://cdn/b").substr(7);
  EXPECT_EQ(a.size(), 16u);
  EXPECT_EQ(*book.Find(a), "https://cdn/a");
  EXPECT_EQ(book.Find("0123456789abcdef"), nullptr);
  EXPECT_EQ(book.Find("../../etc/passwd"), nullptr);
  book.Remember("https://cdn/a");  // already known: nothing forgotten
  EXPECT_NE(book.Find(b), nullptr);
  book.Remember("https://cdn/c");
  EXPECT_EQ(book.Find(a), nullptr);
  EXPECT_NE(book.Find(b), nullptr);
}

}  // namespace
}  // namespace vlo

namespace vlo {
namespace {

TEST(OverlayAddressTest, CarriesTheWindowsLookAndThePageOptions) {
  ChatSettings s;
  EXPECT_EQ(OverlayPageAddress(s),
            "http://127.0.0.1:17830/overlay?theme=neon&size=normal&names=viewer&"
            "platforms=twitch,youtube,kick&max=20&time=1");
  s.overlayPort = 18001;
  s.theme = "ocean";
  s.textSize = 2;
  s.nameStyle = 2;
  s.overlayPlatforms = 4;
  s.overlayMaxRows = 50;
  s.overlayFadeSeconds = 30;
  s.overlayShow = 2;
  s.showTimestamps = false;
  EXPECT_EQ(OverlayPageAddress(s),
            "http://127.0.0.1:18001/overlay?theme=ocean&size=large&names=platform&"
            "platforms=kick&max=50&fade=30&only=alerts");
  s.overlayShow = 1;
  s.overlayPlatforms = 3;
  EXPECT_NE(OverlayPageAddress(s).find("&platforms=twitch,youtube&max=50&fade=30&alerts=0"),
            std::string::npos);
}

}  // namespace
}  // namespace vlo
