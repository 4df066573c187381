#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "emotes/EmoteTypes.h"
#include "emotes/ImageCache.h"
#include "net/Http.h"
#include "sim/emotes/EmoteCatalogueSim.h"
#include "tests/TempDir.h"
#include "tests/emotes/Signal.h"

namespace vlo {
namespace {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in{path, std::ios::binary};
  return std::string{std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
}

class ImageCacheTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { plx::TrustExtraCertificateForTests(sim::SimServer::TestCaPath()); }

  void SetUp() override { sim_.ApplyTo(endpoints_); }

  std::string KappaKey() const { return TwitchEmoteKey(NativeImageHosts::From(endpoints_), "25"); }

  // Asks for `key` until it arrived or failed; returns the image.
  SharedImage Load(ImageCache& cache, const std::string& key) {
    test::Signal arrived;
    cache.SetOnArrival([&arrived] { arrived.Bump(); });
    SharedImage image = cache.GetImage(key);
    if (!image && !cache.IsFailed(key)) {
      EXPECT_TRUE(arrived.WaitFor(1));
      image = cache.GetImage(key);
    }
    cache.SetOnArrival(nullptr);
    return image;
  }

  sim::EmoteCatalogueSim sim_;
  Endpoints endpoints_;
  test::TempDir dir_;
};

TEST_F(ImageCacheTest, CacheFileNamesAreStable) {
  EXPECT_EQ(ImageCache::CacheFileName(""), "14650fb0739d0383.img");
  EXPECT_EQ(ImageCache::CacheFileName("a"), "44bd8ad473cd9906.img");
}

TEST_F(ImageCacheTest, KeysThatAreNotHttpsFailAtOnce) {
  ImageCache cache{dir_.path() / "emotes", 1};
  for (const std::string key : {"http://127.0.0.1/emote.png", "", "ftp://x/y", "HTTPS://x/y"}) {
    EXPECT_EQ(cache.GetImage(key), nullptr) << key;
    EXPECT_TRUE(cache.IsFailed(key)) << key;
  }
  EXPECT_EQ(sim_.ImageRequestCount(), 0u);
}

TEST_F(ImageCacheTest, ALoadingKeyIsQueuedOnceAndArrivesOnce) {
  ImageCache cache{dir_.path() / "emotes", 4};
  test::Signal arrived;
  cache.SetOnArrival([&arrived] { arrived.Bump(); });
  const std::string key = KappaKey();
  EXPECT_EQ(cache.GetImage(key), nullptr);
  EXPECT_EQ(cache.GetImage(key), nullptr);
  ASSERT_TRUE(arrived.WaitFor(1));
  SharedImage image = cache.GetImage(key);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 56u);
  EXPECT_EQ(image->frames.size(), 1u);
  EXPECT_EQ(cache.GetImage(key), image);  // the same shared image
  EXPECT_FALSE(cache.IsFailed(key));
  EXPECT_EQ(arrived.Count(), 1);
  EXPECT_EQ(sim_.ImageRequestCount(), 1u);
  // Written under its hashed name, bytes as downloaded.
  const std::string file = ReadAll(dir_.path() / "emotes" / ImageCache::CacheFileName(key));
  EXPECT_FALSE(file.empty());
  EXPECT_FALSE(
      std::filesystem::exists(dir_.path() / "emotes" / (ImageCache::CacheFileName(key) + ".tmp")));
}

TEST_F(ImageCacheTest, ASecondRunReadsTheDiskAndReplacesDamagedFiles) {
  const std::string key = KappaKey();
  const std::filesystem::path folder = dir_.path() / "emotes";
  const std::filesystem::path file = folder / ImageCache::CacheFileName(key);
  std::string bytes;
  {
    ImageCache cache{folder, 2};
    ASSERT_NE(Load(cache, key), nullptr);
    bytes = ReadAll(file);
  }
  sim_.ClearRequests();
  {
    ImageCache cache{folder, 2};
    ASSERT_NE(Load(cache, key), nullptr);
    EXPECT_EQ(sim_.ImageRequestCount(), 0u);
  }
  // A truncated file does not decode: the image is downloaded again and the file rewritten.
  {
    std::ofstream out{file, std::ios::binary | std::ios::trunc};
    out << bytes.substr(0, bytes.size() / 2);
  }
  {
    ImageCache cache{folder, 2};
    SharedImage image = Load(cache, key);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 56u);
    EXPECT_EQ(sim_.ImageRequestCount(), 1u);
    EXPECT_EQ(ReadAll(file), bytes);
  }
}

TEST_F(ImageCacheTest, FailedDownloadsStayFailed) {
  ImageCache cache{dir_.path() / "emotes", 2};
  const NativeImageHosts hosts = NativeImageHosts::From(endpoints_);
  const std::string missing = TwitchEmoteKey(hosts, "404404");
  EXPECT_EQ(Load(cache, missing), nullptr);
  EXPECT_TRUE(cache.IsFailed(missing));

  sim_.SetImageFault(sim::Fault::ServerError);
  const std::string broken = KickEmoteKey(hosts, "37226");
  EXPECT_EQ(Load(cache, broken), nullptr);
  EXPECT_TRUE(cache.IsFailed(broken));
  sim_.SetImageFault(sim::Fault::None);
  const size_t requests = sim_.ImageRequestCount();
  EXPECT_EQ(cache.GetImage(broken), nullptr);  // not retried during this run
  EXPECT_EQ(sim_.ImageRequestCount(), requests);
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path() / "emotes"));
}

TEST_F(ImageCacheTest, StopsPromptlyWithWorkQueued) {
  sim_.SetImageFault(sim::Fault::Slow);
  sim_.SetSlowDelay(200);
  auto cache = std::make_unique<ImageCache>(dir_.path() / "emotes", 1);
  const NativeImageHosts hosts = NativeImageHosts::From(endpoints_);
  for (const auto& emote : sim::EmoteCatalogueSim::TwitchEmotes()) {
    cache->GetImage(TwitchEmoteKey(hosts, emote.id));
  }
  cache.reset();  // joins after at most the one download in progress
  EXPECT_LE(sim_.ImageRequestCount(), 1u);
}

}  // namespace
}  // namespace vlo
