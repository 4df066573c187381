// The overlay page in a real browser: headless Chromium loads it from the server, and the test
// reads the page it built and a screenshot of it.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/ChatHub.h"
#include "emotes/ImageCache.h"
#include "emotes/ImageDecoder.h"
#include "emotes/SplitMessage.h"
#include "overlay/OverlayServer.h"
#include "sim/emotes/EmotePictures.h"
#include "tests/Eventually.h"
#include "tests/overlay/HeadlessBrowser.h"
#include "tests/TempDir.h"

namespace vlo {
namespace {

class OverlayBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    chromium = test::FindChromium();
    if (chromium.empty()) {
      GTEST_SKIP() << "chromium is not installed (scripts/install-deps installs it); the "
                      "overlay page was not tried in a browser";
    }
    // Emotes by word, as the catalogues give them: a still one, an animated one and a
    // zero-width one drawn over the emote before it.
    defs = {
        {"Kappa", {"Kappa", "https://cdn.test/kappa", EmoteSource::Twitch, false, false}},
        {"catJAM", {"catJAM", "https://cdn.test/catjam", EmoteSource::SevenTv, false, true}},
        {"SnowTime", {"SnowTime", "https://cdn.test/snow", EmoteSource::SevenTv, true, true}},
    };
    const std::pair<const char*, std::string> pictures[] = {
        {"https://cdn.test/kappa", sim::FacePng(56, 56, 200, 0)},
        {"https://cdn.test/catjam", sim::BouncingGif(30)},
        {"https://cdn.test/snow", sim::FacePng(28, 28, 120, 2)},
    };
    for (const auto& [key, bytes] : pictures) {
      std::ofstream{dir.path() / ImageCache::CacheFileName(key), std::ios::binary} << bytes;
    }
    OverlayConfig config;
    config.port = 0;
    config.imageFolder = dir.path();
    config.split = [this](const plx::ChatMessage& message) {
      return SplitMessage(message, [this](std::string_view word) -> std::optional<EmoteDef> {
        const auto it = defs.find(std::string{word});
        if (it == defs.end()) return std::nullopt;
        return it->second;
      });
    };
    server = std::make_unique<OverlayServer>(hub, config);
    std::string error;
    ASSERT_TRUE(server->Start(&error)) << error;

    Say("1", plx::PlatformId::Twitch, "Ann", "hello Kappa SnowTime from twitch", {"color=#3FA9F5"});
    Say("2", plx::PlatformId::Kick, "Bob", "catJAM kick is here", {"color=#FF8A00"});
    Say("3", plx::PlatformId::YouTube, "Cid", "watching on youtube", {"moderator"});
    Say("4", plx::PlatformId::Twitch, "Alert", "Dee subscribed for 3 months!", {"event", "sub"});
    Say("5", plx::PlatformId::Kick, "Eve", "this will be deleted");
  }

  void TearDown() override {
    if (server) server->Stop();
  }

  void Say(std::string id, plx::PlatformId platform, std::string author, std::string body,
           std::vector<std::string> tags = {}) {
    plx::ChatMessage m;
    m.id = id;
    m.platformMessageId = "p-" + id;
    m.platform = platform;
    m.author = std::move(author);
    m.body = std::move(body);
    m.tags = std::move(tags);
    m.timestampMs = plx::nowMs();
    hub.AddMessage(std::move(m));
  }

  std::string Url(const std::string& query) const {
    return "http://127.0.0.1:" + std::to_string(server->Port()) + "/overlay?" + query;
  }

  test::TempDir dir;
  NoAccounts accounts;
  ChatHub hub{accounts};
  std::map<std::string, EmoteDef> defs;
  std::unique_ptr<OverlayServer> server;
  std::filesystem::path chromium;
};

// Rows on the page as "kind platform: author: text".
constexpr const char* kRowsScript = R"js(
  [...document.querySelectorAll('#rows .row')].map(r =>
    r.className.replace('row ', '') + ': ' + r.querySelector('.name').textContent + ': ' +
    r.querySelector('.text').textContent))js";
constexpr const char* kLoadedScript = R"js(
  [...document.querySelectorAll('#rows img')].filter(i => i.dataset.loaded === '1' &&
    i.naturalWidth > 0).length)js";

TEST_F(OverlayBrowserTest, PageShowsTheRowsWithEmotesAndDropsADeletedOne) {
  test::HeadlessBrowser browser{chromium, dir.path()};
  ASSERT_TRUE(browser.Ok());
  ASSERT_TRUE(browser.Open(Url("theme=neon&time=1"), 440, 520));
  ASSERT_TRUE(browser.WaitFor("document.querySelectorAll('#rows .row').length === 5"))
      << browser.Evaluate(kRowsScript);
  // Kappa, the zero-width SnowTime stacked over it, and the animated catJAM all drew.
  EXPECT_TRUE(browser.WaitFor(std::string{kLoadedScript} + " === 3")) << browser.Evaluate(kLoadedScript);
  EXPECT_EQ(browser.Evaluate("document.querySelectorAll('.stack img.over').length"), 1);
  EXPECT_EQ(browser.Evaluate("document.querySelectorAll('.stack').length"), 2);

  // The moderator deletes Eve's message while the page is open; a new message comes in.
  hub.ApplyRemoval({RemovalKind::Message, plx::PlatformId::Kick, "p-5"});
  Say("6", plx::PlatformId::YouTube, "Fay", "last one");
  EXPECT_TRUE(browser.WaitFor("document.querySelectorAll('#rows .row').length === 5 && "
                              "document.body.textContent.includes('last one')"));
  EXPECT_EQ(browser.Evaluate(kRowsScript),
            (nlohmann::json{"message twitch: Ann: hello  from twitch",
                            "message kick: Bob:  kick is here",
                            "message youtube: Cid: watching on youtube",
                            "alert twitch: Alert: Dee subscribed for 3 months!",
                            "message youtube: Fay: last one"}));
  // The alert row is tinted, the others take the theme's see-through background.
  const auto backgrounds = browser.Evaluate(
      "[...document.querySelectorAll('#rows .row')].map(r => getComputedStyle(r).backgroundColor)");
  EXPECT_EQ(backgrounds[0], backgrounds[1]);
  EXPECT_NE(backgrounds[3], backgrounds[0]);
  EXPECT_NE(backgrounds[0].get<std::string>().find("rgba("), std::string::npos);

  // Options: Kick only, alerts only, at most two rows.
  const std::pair<std::string, size_t> options[] = {
      {"platforms=kick", 1}, {"only=alerts", 1}, {"alerts=0", 4}, {"max=2", 2}};
  for (const auto& [query, rows] : options) {
    ASSERT_TRUE(browser.Open(Url(query), 440, 520));
    EXPECT_TRUE(browser.WaitFor("document.querySelectorAll('#rows .row').length === " +
                                std::to_string(rows)))
        << query << ": " << browser.Evaluate(kRowsScript);
  }
}

TEST_F(OverlayBrowserTest, ScreenshotsHaveATransparentBackground) {
  hub.ApplyRemoval({RemovalKind::Message, plx::PlatformId::Kick, "p-5"});
  const char* folder = std::getenv("VLO_TEST_BINARY_DIR");
  const std::filesystem::path shots =
      std::filesystem::path{folder ? folder : "."} / "overlay-snapshots";
  std::filesystem::create_directories(shots);
  test::HeadlessBrowser browser{chromium, dir.path()};
  ASSERT_TRUE(browser.Ok());
  for (const char* theme : {"neon", "calm"}) {
    ASSERT_TRUE(browser.Open(Url(std::string{"theme="} + theme + "&time=1&size=large"), 440, 520));
    ASSERT_TRUE(browser.WaitFor(std::string{kLoadedScript} + " === 3"));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the rows' entry animation
    const std::string png = browser.Screenshot();
    std::ofstream{shots / (std::string{"overlay-"} + theme + ".png"), std::ios::binary} << png;
    const std::optional<DecodedImage> image = DecodeImage(png);
    ASSERT_TRUE(image) << theme;
    ASSERT_EQ(image->width, 440u);
    const auto alpha = [&](uint32_t x, uint32_t y) {
      return image->frames[0][(y * image->width + x) * 4 + 3];
    };
    // Rows sit at the bottom over nothing: the top is see-through, an alert row is not, the
    // others a little.
    EXPECT_EQ(alpha(5, 5), 0) << theme;
    EXPECT_EQ(alpha(image->width / 2, 10), 0) << theme;
    EXPECT_EQ(alpha(image->width - 20, image->height - 20), 255) << theme;
    EXPECT_GT(alpha(image->width - 20, image->height - 120), 150) << theme;
    EXPECT_LT(alpha(image->width - 20, image->height - 120), 255) << theme;
  }
}

}  // namespace
}  // namespace vlo
