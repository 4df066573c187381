#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "emotes/EmoteRegistry.h"
#include "emotes/ImageCache.h"
#include "emotes/SplitMessage.h"
#include "net/Http.h"
#include "sim/emotes/EmoteCatalogueSim.h"
#include "tests/TempDir.h"
#include "tests/emotes/Signal.h"

namespace vlo {
namespace {

using plx::PlatformId;
using sim::Catalogue;

class EmoteRegistryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { plx::TrustExtraCertificateForTests(sim::SimServer::TestCaPath()); }

  void SetUp() override {
    sim_.ApplyTo(endpoints_);
    registry_ = std::make_unique<EmoteRegistry>(endpoints_);
    registry_->SetOnChange([this] { changes_.Bump(); });
  }
  void TearDown() override {
    registry_->SetOnChange(nullptr);
    registry_->Stop();
  }

  // Waits until `count` reports arrived in total and returns them all.
  std::vector<FetchReport> Reports(size_t count) {
    for (int i = 0; i < 200 && reports_.size() < count; ++i) {
      changes_.WaitFor(changes_.Count() + 1, 100);
      for (const FetchReport& report : registry_->TakeReports()) reports_.push_back(report);
    }
    return reports_;
  }

  static bool Has(const std::vector<FetchReport>& reports, const FetchReport& wanted) {
    return std::find(reports.begin(), reports.end(), wanted) != reports.end();
  }

  sim::EmoteCatalogueSim sim_;
  Endpoints endpoints_;
  std::unique_ptr<EmoteRegistry> registry_;
  test::Signal changes_;
  std::vector<FetchReport> reports_;
};

TEST_F(EmoteRegistryTest, GlobalSetsLoadAndAreLookedUpPerPlatform) {
  registry_->FetchGlobals();
  const auto reports = Reports(3);
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_TRUE(Has(reports, {PlatformId::Twitch, false, EmoteSource::SevenTv, 6, false}));
  EXPECT_TRUE(Has(reports, {PlatformId::Twitch, false, EmoteSource::BetterTtv, 3, false}));
  EXPECT_TRUE(Has(reports, {PlatformId::Twitch, false, EmoteSource::FrankerFaceZ, 2, false}));

  const auto jam = registry_->Find(PlatformId::Twitch, "catJAM");
  ASSERT_TRUE(jam);
  EXPECT_EQ(jam->source, EmoteSource::SevenTv);
  EXPECT_TRUE(jam->url.starts_with("https://127.0.0.1:") && jam->url.ends_with("/2x.gif"));
  const auto snow = registry_->Find(PlatformId::Twitch, "SoSnowy");
  ASSERT_TRUE(snow);
  EXPECT_TRUE(snow->zeroWidth);
  EXPECT_EQ(snow->url, endpoints_.bttvImages + "/emote/567b5b520e984428652809b6/2x");
  EXPECT_TRUE(registry_->Find(PlatformId::Twitch, "KEKW"));
  EXPECT_FALSE(registry_->Find(PlatformId::Twitch, "NotDefault"));
  EXPECT_FALSE(registry_->Find(PlatformId::Twitch, "kekw"));
  EXPECT_TRUE(registry_->Find(PlatformId::Kick, "catJAM"));
  EXPECT_FALSE(registry_->Find(PlatformId::Kick, "Sadge"));  // Kick reads 7TV only
  EXPECT_FALSE(registry_->Find(PlatformId::YouTube, "catJAM"));
}

TEST_F(EmoteRegistryTest, ChannelSetsLoadAndWinOverGlobals) {
  registry_->FetchGlobals();
  registry_->SetChannel(PlatformId::Twitch, "12345");
  registry_->SetChannel(PlatformId::Kick, "777");
  const auto reports = Reports(7);
  ASSERT_EQ(reports.size(), 7u);
  EXPECT_TRUE(Has(reports, {PlatformId::Twitch, true, EmoteSource::SevenTv, 2, false}));
  EXPECT_TRUE(Has(reports, {PlatformId::Twitch, true, EmoteSource::BetterTtv, 2, false}));
  EXPECT_TRUE(Has(reports, {PlatformId::Twitch, true, EmoteSource::FrankerFaceZ, 1, false}));
  EXPECT_TRUE(Has(reports, {PlatformId::Kick, true, EmoteSource::SevenTv, 2, false}));
  EXPECT_EQ(sim_.Api(Catalogue::SevenTv).RequestCount("/v3/users/twitch/12345"), 1u);
  EXPECT_EQ(sim_.Api(Catalogue::SevenTv).RequestCount("/v3/users/kick/777"), 1u);
  EXPECT_EQ(sim_.Api(Catalogue::BetterTtv).RequestCount("/3/cached/users/twitch/12345"), 1u);
  EXPECT_EQ(sim_.Api(Catalogue::FrankerFaceZ).RequestCount("/v1/room/id/12345"), 1u);

  for (const char* name : {"OMEGALUL", "catKISS", "monkaW", "peepoHappy"}) {
    const auto def = registry_->Find(PlatformId::Twitch, name);
    ASSERT_TRUE(def) << name;
    EXPECT_TRUE(def->channel) << name;
  }
  EXPECT_TRUE(registry_->Find(PlatformId::Kick, "Clap"));
  EXPECT_FALSE(registry_->Find(PlatformId::Kick, "OMEGALUL"));

  // The same id again changes nothing; a new one empties the sets at once.
  const int changes = changes_.Count();
  registry_->SetChannel(PlatformId::Twitch, "12345");
  EXPECT_EQ(changes_.Count(), changes);
  sim_.SetCatalogueFault(Catalogue::SevenTv, sim::Fault::Slow);
  sim_.SetSlowDelay(300);
  registry_->SetChannel(PlatformId::Twitch, "999");
  EXPECT_FALSE(registry_->Find(PlatformId::Twitch, "OMEGALUL"));
  EXPECT_TRUE(registry_->Find(PlatformId::Twitch, "catJAM"));
}

TEST_F(EmoteRegistryTest, NonNumericChannelIdEmptiesSetsWithoutDownloads) {
  registry_->SetChannel(PlatformId::Twitch, "42");
  Reports(3);
  ASSERT_TRUE(registry_->Find(PlatformId::Twitch, "OMEGALUL"));
  sim_.ClearRequests();
  const int changes = changes_.Count();
  registry_->SetChannel(PlatformId::Twitch, "abc");
  EXPECT_EQ(changes_.Count(), changes + 1);
  EXPECT_EQ(registry_->ChannelId(PlatformId::Twitch), "abc");
  EXPECT_FALSE(registry_->Find(PlatformId::Twitch, "OMEGALUL"));
  for (const char* id : {"", "12a", "123456789012345678901234", "-5"}) {
    registry_->SetChannel(PlatformId::Twitch, id);
    EXPECT_EQ(registry_->ChannelId(PlatformId::Twitch), id);
  }
  registry_->SetChannel(PlatformId::YouTube, "123");  // ignored
  EXPECT_EQ(registry_->ChannelId(PlatformId::YouTube), "");
  registry_->Stop();
  EXPECT_EQ(sim_.CatalogueRequestCount(), 0u);
  EXPECT_TRUE(registry_->TakeReports().empty());
}

TEST_F(EmoteRegistryTest, FailuresEmptyTheSetAndAreReported) {
  registry_->FetchGlobals();
  Reports(3);
  ASSERT_TRUE(registry_->Find(PlatformId::Twitch, "Sadge"));
  reports_.clear();
  sim_.SetCatalogueFault(Catalogue::BetterTtv, sim::Fault::ServerError);
  sim_.SetCatalogueFault(Catalogue::FrankerFaceZ, sim::Fault::NotFound);
  sim_.Api(Catalogue::SevenTv)
      .AnswerNext("GET", "/v3/emote-sets/global", 1,
                  sim::HttpAnswer::Json("<html>not json</html>"));
  registry_->FetchGlobals();
  const auto reports = Reports(3);
  EXPECT_TRUE(
      Has(reports, {PlatformId::Twitch, false, EmoteSource::BetterTtv, 0, true, "HTTP 503"}));
  EXPECT_TRUE(Has(reports, {PlatformId::Twitch, false, EmoteSource::FrankerFaceZ, 0, false}));
  // A page that is no JSON at all comes from something in the way: a failure, tried again.
  EXPECT_TRUE(Has(reports,
                  {PlatformId::Twitch, false, EmoteSource::SevenTv, 0, true, "unreadable answer"}));
  EXPECT_FALSE(registry_->Find(PlatformId::Twitch, "Sadge"));
  EXPECT_FALSE(registry_->Find(PlatformId::Twitch, "KEKW"));
  EXPECT_FALSE(registry_->Find(PlatformId::Twitch, "catJAM"));

  // No server at all.
  Endpoints nowhere = endpoints_;
  nowhere.ffzApi = "http://127.0.0.1:1";
  EmoteRegistry offline{nowhere};
  test::Signal done;
  offline.SetOnChange([&done] { done.Bump(); });
  offline.Fetch(PlatformId::Twitch, false, EmoteSource::FrankerFaceZ, {},
                nowhere.ffzApi + "/v1/set/global", 2000);
  ASSERT_TRUE(done.WaitFor(1));
  offline.Stop();
  EXPECT_EQ(offline.TakeReports(),
            (std::vector<FetchReport>{{PlatformId::Twitch, false, EmoteSource::FrankerFaceZ, 0,
                                       true, "network error (cannot connect)"}}));
}

TEST_F(EmoteRegistryTest, DownloadsForAReplacedChannelAreDiscarded) {
  // Channel 1's answers (naming StaleEmote) arrive at 200 ms, after channel 2 replaced it;
  // channel 2's arrive at 600 ms.
  const std::pair<Catalogue, const char*> stale[] = {
      {Catalogue::SevenTv, R"({"emote_set": {"emotes": [{"name": "StaleEmote",
        "data": {"host": {"url": "//x/e/1"}}}]}})"},
      {Catalogue::BetterTtv, R"({"channelEmotes": [{"id": "s", "code": "StaleEmote"}]})"},
      {Catalogue::FrankerFaceZ,
       R"({"sets": {"1": {"emoticons": [{"name": "StaleEmote", "urls": {"1": "//x/1"}}]}}})"}};
  const char* paths[] = {"/v3/users/twitch/1", "/3/cached/users/twitch/1", "/v1/room/id/1"};
  sim_.SetSlowDelay(600);
  for (int i = 0; i < 3; ++i) {
    sim::HttpAnswer answer = sim::HttpAnswer::Json(stale[i].second);
    answer.delayMs = 200;
    sim_.Api(stale[i].first).AnswerNext("GET", paths[i], 1, answer);
    sim_.SetCatalogueFault(stale[i].first, sim::Fault::Slow);
  }
  registry_->SetChannel(PlatformId::Twitch, "1");
  registry_->SetChannel(PlatformId::Twitch, "2");
  EXPECT_EQ(Reports(3).size(), 3u);
  registry_->Stop();
  EXPECT_TRUE(registry_->TakeReports().empty());
  EXPECT_TRUE(registry_->Find(PlatformId::Twitch, "OMEGALUL"));
  EXPECT_FALSE(registry_->Find(PlatformId::Twitch, "StaleEmote"));
  EXPECT_EQ(sim_.CatalogueRequestCount(), 6u);
}

TEST_F(EmoteRegistryTest, NothingStartsAfterStop) {
  registry_->Stop();
  registry_->FetchGlobals();
  registry_->SetChannel(PlatformId::Kick, "5");
  registry_->Stop();
  EXPECT_EQ(sim_.CatalogueRequestCount(), 0u);
  EXPECT_EQ(registry_->ChannelId(PlatformId::Kick), "5");
}

// The whole road: catalogues, split messages, images; a second run reads every image from disk.
TEST_F(EmoteRegistryTest, SecondRunLoadsImagesFromDiskWithoutRequests) {
  test::TempDir dir;
  registry_->FetchGlobals();
  registry_->SetChannel(PlatformId::Twitch, "12345");
  Reports(6);
  std::string body;
  for (const std::string& name : sim::EmoteCatalogueSim::EmoteNames()) body += name + " ";
  plx::ChatMessage message;
  message.platform = PlatformId::Twitch;
  message.body = body + "Kappa";
  message.tags = {"emotes=25:" + std::to_string(body.size()) + "-" +
                  std::to_string(body.size() + 4)};
  const auto runs = SplitMessage(
      message, [this](std::string_view word) { return registry_->Find(PlatformId::Twitch, word); },
      registry_->ImageHosts());
  std::vector<std::string> keys;
  for (const EmoteRun& run : runs) {
    if (run.isEmote) keys.push_back(run.imageKey);
  }
  ASSERT_GE(keys.size(), 15u);

  auto loadAll = [&keys, &dir] {
    ImageCache cache{dir.path() / "emotes", 4};
    test::Signal arrived;
    cache.SetOnArrival([&arrived] { arrived.Bump(); });
    for (const std::string& key : keys) cache.GetImage(key);
    std::set<std::string> unique{keys.begin(), keys.end()};
    EXPECT_TRUE(arrived.WaitFor(static_cast<int>(unique.size())));
    std::vector<SharedImage> images;
    for (const std::string& key : keys) {
      EXPECT_FALSE(cache.IsFailed(key)) << key;
      images.push_back(cache.GetImage(key));
    }
    cache.SetOnArrival(nullptr);
    return images;
  };
  const auto first = loadAll();
  EXPECT_GT(sim_.ImageRequestCount(), 0u);
  bool animated = false;
  for (const SharedImage& image : first) {
    ASSERT_NE(image, nullptr);
    animated = animated || image->IsAnimated();
  }
  EXPECT_TRUE(animated);
  sim_.ClearRequests();
  const auto second = loadAll();
  EXPECT_EQ(sim_.ImageRequestCount(), 0u);
  for (size_t i = 0; i < first.size(); ++i) {
    ASSERT_NE(second[i], nullptr);
    EXPECT_EQ(second[i]->frames, first[i]->frames);
  }
}

}  // namespace
}  // namespace vlo
