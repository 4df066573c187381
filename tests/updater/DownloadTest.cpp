// Downloading an installer from the update site over TLS: the request, every failure with its
// text, the ".part" file, cancelling and the time limit.

#include <gtest/gtest.h>

#include <utility>

#include "sim/update/TrickleServer.h"
#include "tests/updater/FakeInstaller.h"
#include "updater/DownloadUpdate.h"
#include "updater/SiteDownload.h"

namespace plx {
namespace {

using vlo::sim::UpdateSiteSim;
using vlo::test::FakeInstaller;
namespace fs = std::filesystem;

class DownloadTest : public vlo::test::UpdateSiteTest {
 protected:
  void SetUp() override {
    installer = FakeInstaller("1.1.4", "exit 0\n", 300000);
    sim.Publish("1.1.4", installer);
    release = vlo::test::ReleaseOf(sim.Base(), "1.1.4", installer);
    path = dir.path() / "data" / "updates" / InstallerFileName("1.1.4");
    part = path.string() + ".part";
  }

  bool Download(std::string* error, const ProgressCallback& progress = {}) {
    return DownloadUpdate(site, release, path, cancel, progress, error);
  }

  std::string installer;
  UpdateRelease release;
  UpdateSite site{Site()};
  fs::path path;
  fs::path part;
  std::atomic<bool> cancel{false};
};

TEST_F(DownloadTest, SavesAVerifiedInstallerAndAsksTheSiteRightly) {
  std::vector<int> percents;
  std::string error;
  ASSERT_TRUE(Download(&error, [&](int percent) { percents.push_back(percent); })) << error;
  EXPECT_EQ(vlo::test::ReadFile(path), installer);
  EXPECT_FALSE(fs::exists(part));

  ASSERT_EQ(sim.InstallerRequests(), 1u);
  const vlo::sim::HttpExchange request = server.Requests().back();
  EXPECT_EQ(request.path, "/downloads/VelaroChat-Setup-1.1.4.sh");
  EXPECT_EQ(request.Header("User-Agent"), "VelaroStudio-Updater/1");
  EXPECT_EQ(request.Header("Cache-Control"), "no-cache");
  // Rising, without repeats, ending at 100.
  ASSERT_FALSE(percents.empty());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(std::adjacent_find(percents.begin(), percents.end()), percents.end());
  EXPECT_EQ(percents.back(), 100);

  // A second attempt (the installer did not start, or the program was restarted) asks nothing.
  ASSERT_TRUE(Download(&error)) << error;
  EXPECT_EQ(sim.InstallerRequests(), 1u);
}

TEST_F(DownloadTest, EveryFailureHasItsTextAndLeavesNoPartFile) {
  struct Case {
    UpdateSiteSim::Fault fault;
    std::string error;
  };
  const Case cases[] = {
      {UpdateSiteSim::Fault::NotFound, "The website has not published an update manifest yet."},
      {UpdateSiteSim::Fault::ServerError, "Update site returned HTTP 500."},
      {UpdateSiteSim::Fault::Redirect, "Update site returned HTTP 302."},
      {UpdateSiteSim::Fault::LongBody, "Update response is larger than expected."},
      {UpdateSiteSim::Fault::ShortBody,
       "Downloaded installer size does not match. Check again to retry."},
  };
  for (const Case& c : cases) {
    sim.SetInstallerFault(c.fault);
    std::string error;
    EXPECT_FALSE(Download(&error));
    EXPECT_EQ(error, c.error);
    EXPECT_FALSE(fs::exists(part)) << c.error;
    EXPECT_FALSE(fs::exists(path)) << c.error;
  }
  // The redirect was not followed.
  EXPECT_EQ(server.RequestCount("/downloads/moved/VelaroChat-Setup-1.1.4.sh"), 0u);
}

TEST_F(DownloadTest, ADifferentFileIsRejectedAndNeverTakesTheInstallersName) {
  const std::string other = FakeInstaller("1.1.4.1", "exit 0\n", 300000);
  struct Case {
    std::string served;
    UpdateRelease release;
    std::string error;
  };
  UpdateRelease wrongDigest = release;
  wrongDigest.sha256 = std::string(64, '0');
  const Case cases[] = {
      {installer, wrongDigest, "Installer checksum does not match. The file will not run."},
      {other, vlo::test::ReleaseOf(sim.Base(), "1.1.4", other),
       "The download is not the expected installer version."},
  };
  for (const Case& c : cases) {
    sim.ServeInstaller("1.1.4", c.served);
    release = c.release;
    std::string error;
    EXPECT_FALSE(Download(&error));
    EXPECT_EQ(error, c.error);
    EXPECT_FALSE(fs::exists(part));
    EXPECT_FALSE(fs::exists(path));
  }
}

TEST_F(DownloadTest, AnInstallerAlreadyThereThatFailsIsReplaced) {
  fs::create_directories(path.parent_path());
  vlo::test::WriteFile(path, "left over from a broken attempt");
  vlo::test::WriteFile(part, "stale");
  std::string error;
  ASSERT_TRUE(Download(&error)) << error;
  EXPECT_EQ(vlo::test::ReadFile(path), installer);
  EXPECT_FALSE(fs::exists(part));
  EXPECT_EQ(sim.InstallerRequests(), 1u);
}

TEST_F(DownloadTest, CancelBeforeAndDuringTheDownload) {
  std::string error;
  cancel = true;
  EXPECT_FALSE(Download(&error));
  EXPECT_EQ(error, "Update cancelled.");
  EXPECT_EQ(sim.InstallerRequests(), 0u);

  // The window closes while the body arrives.
  cancel = false;
  EXPECT_FALSE(Download(&error, [&](int) { cancel = true; }));
  EXPECT_EQ(error, "Update cancelled.");
  EXPECT_FALSE(fs::exists(part));
  EXPECT_FALSE(fs::exists(path));

  // A site that does not answer at all: the cancel still ends the wait.
  cancel = false;
  sim.SetInstallerFault(UpdateSiteSim::Fault::Stall);
  std::thread closer{[&] {
    server.WaitForRequests("/downloads/VelaroChat-Setup-1.1.4.sh", 2, 5000);
    cancel = true;
  }};
  EXPECT_FALSE(Download(&error));
  closer.join();
  EXPECT_EQ(error, "Update cancelled.");
  EXPECT_FALSE(fs::exists(part));
}

TEST_F(DownloadTest, TheTenMinuteLimitRunsOnTheSitesClock) {
  vlo::TestClock clock;
  site.clock = &clock;
  std::string error;
  EXPECT_FALSE(Download(&error, [&](int) { clock.Advance(kDownloadLimitMs + 1); }));
  EXPECT_EQ(error, "Update download timed out.");
  EXPECT_FALSE(fs::exists(part));

  // Exactly ten minutes is still in time.
  bool advanced = false;
  EXPECT_TRUE(Download(&error, [&](int) {
    if (!std::exchange(advanced, true)) clock.Advance(kDownloadLimitMs);
  })) << error;
  EXPECT_TRUE(advanced);
}

TEST_F(DownloadTest, OnlyFromTheSiteAndOnlySecurely) {
  std::string error;
  release.url = "https://elsewhere.example/downloads/VelaroChat-Setup-1.1.4.sh";
  EXPECT_FALSE(Download(&error));
  EXPECT_EQ(error, "Update URL is not on 127.0.0.1.");
  release.url = sim.Base() + "evil/VelaroChat-Setup-1.1.4.sh";
  EXPECT_FALSE(Download(&error));
  EXPECT_EQ(error, "Update URL is not on 127.0.0.1.");

  // Plain HTTP anywhere but on this machine is refused before anything is sent.
  site.base = "http://velaro.example";
  release.url = InstallerUrl(site.base, "1.1.4");
  EXPECT_FALSE(Download(&error));
  EXPECT_EQ(error, "Could not secure the update request.");
  EXPECT_FALSE(fs::exists(part));

  site.base = "https://127.0.0.1:1";
  release.url = InstallerUrl(site.base, "1.1.4");
  EXPECT_FALSE(Download(&error));
  EXPECT_EQ(error, "Could not connect to the update site.");
}

TEST_F(DownloadTest, AFolderThatCannotBeMadeOrWritten) {
  vlo::test::WriteFile(dir.path() / "file", "x");
  path = dir.path() / "file" / "updates" / InstallerFileName("1.1.4");
  std::string error;
  EXPECT_FALSE(Download(&error));
  EXPECT_EQ(error, "Could not create the updates folder.");

  // The ".part" name is taken by a folder.
  path = dir.path() / "updates" / InstallerFileName("1.1.4");
  fs::create_directories(path.string() + ".part");
  EXPECT_FALSE(Download(&error));
  EXPECT_EQ(error, "Could not create the update download.");
}

// Bodies that arrive slowly or break off, from a server that writes them piece by piece.
TEST(TrickleDownloadTest, ABodyThatBreaksOffOrStalls) {
  const std::string body = FakeInstaller("1.1.4", "exit 0\n", 100000);
  const std::atomic<bool> cancel{false};
  struct Case {
    const char* name;
    bool hold;
    std::string error;
  };
  const Case cases[] = {
      {"cut", false, "Update download was interrupted."},
      {"stalled", true, "Update download was interrupted."},
  };
  for (const Case& c : cases) {
    vlo::sim::TrickleServer::Script script;
    script.body = body;
    script.pauseMs = 1;
    script.cutAfter = 40000;
    script.holdAtCut = c.hold;
    vlo::sim::TrickleServer server{script};
    UpdateSite site;
    site.base = server.BaseUrl();
    site.timeoutMs = 300;
    size_t received = 0;
    std::string error;
    EXPECT_FALSE(DownloadFromSite(
        site, InstallerUrl(site.base, "1.1.4"), static_cast<int64_t>(body.size()), cancel,
        [&](std::string_view chunk) {
          received += chunk.size();
          EXPECT_LE(chunk.size(), 65536u);
          return true;
        },
        &error))
        << c.name;
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_EQ(received, 40000u) << c.name;
  }
}

TEST(TrickleDownloadTest, ASinkThatFailsStopsTheDownload) {
  const std::string body(200000, 'b');
  vlo::sim::TrickleServer::Script script;
  script.body = body;
  script.pauseMs = 1;
  vlo::sim::TrickleServer server{script};
  UpdateSite site;
  site.base = server.BaseUrl();
  const std::atomic<bool> cancel{false};
  std::string error;
  EXPECT_FALSE(DownloadFromSite(
      site, site.base + "/downloads/x.sh", 200000, cancel, [](std::string_view) { return false; },
      &error));
  EXPECT_EQ(error, "Could not save the update download.");
  // The byte limit applies to what arrived, whatever the headers announced.
  EXPECT_FALSE(DownloadFromSite(
      site, site.base + "/downloads/x.sh", 199999, cancel, [](std::string_view) { return true; },
      &error));
  EXPECT_EQ(error, "Update response is larger than expected.");
}

}  // namespace
}  // namespace plx
