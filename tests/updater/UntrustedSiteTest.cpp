// A site whose certificate the system does not trust is never talked to.

#include <gtest/gtest.h>

#include "sim/SimServer.h"
#include "sim/update/UpdateSiteSim.h"
#include "tests/TempDir.h"
#include "updater/DownloadUpdate.h"
#include "updater/Manifest.h"

namespace plx {
namespace {

TEST(UntrustedSiteTest, NeitherTheManifestNorTheInstallerIsFetched) {
  vlo::sim::SimServer server{vlo::sim::SimServer::Transport::Tls};
  vlo::sim::UpdateSiteSim sim{server};
  const std::string installer(4096, 'i');
  sim.Publish("1.1.4", installer);
  UpdateSite site;
  site.base = sim.Base();

  std::string error;
  EXPECT_FALSE(FetchUpdateManifest(site, &error));
  EXPECT_FALSE(error.empty());

  vlo::test::TempDir dir;
  const UpdateRelease release{"1.1.4", InstallerUrl(site.base, "1.1.4"),
                              vlo::sim::UpdateSiteSim::Sha256Hex(installer), 4096};
  const std::atomic<bool> cancel{false};
  EXPECT_FALSE(
      DownloadUpdate(site, release, dir.path() / InstallerFileName("1.1.4"), cancel, {}, &error));
  EXPECT_EQ(error,
            "Could not reach the update site safely: the server's certificate is not trusted.");
  EXPECT_EQ(sim.InstallerRequests(), 0u);
  EXPECT_EQ(sim.ManifestRequests(), 0u);
}

}  // namespace
}  // namespace plx
