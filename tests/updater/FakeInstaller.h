#pragma once

// Installers as the updater sees them, and the update site on TLS loopback for the updater's
// tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "net/Http.h"
#include "sim/SimServer.h"
#include "sim/update/UpdateSiteSim.h"
#include "tests/TempDir.h"
#include "updater/Manifest.h"
#include "updater/VerifyInstaller.h"

namespace vlo::test {

// A shell installer: the header lines with the version and machine markers, `script` (which
// should end the script), then filler bytes up to `size` standing for the archive.
inline std::string FakeInstaller(const std::string& version, const std::string& script = "exit 0\n",
                                 size_t size = 200000,
                                 std::string_view machine = plx::ThisMachine()) {
  std::string bytes =
      "#!/bin/sh\n# Velaro Chat installer\n" + std::string{plx::kInstallerVersionMarker} + version +
      "\n" + std::string{plx::kInstallerMachineMarker} + std::string{machine} + "\n" + script;
  uint32_t state = 2463534242u ^ static_cast<uint32_t>(version.size());
  for (const char c : version) state = state * 31 + static_cast<unsigned char>(c);
  while (bytes.size() < size) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    bytes += static_cast<char>(state & 0xff);
  }
  return bytes;
}

// An installer's script that writes its arguments, one a line, to `out` + ".args" and then
// creates `out` + ".done".
inline std::string RecordingScript(const std::filesystem::path& out) {
  const std::string base = out.string();
  return "printf '%s\\n' \"$@\" > '" + base + ".args'\ntouch '" + base + ".done'\nexit 0\n";
}

// The release the site's manifest names for `installer`.
inline plx::UpdateRelease ReleaseOf(const std::string& base, const std::string& version,
                                    const std::string& installer) {
  return plx::UpdateRelease{version, plx::InstallerUrl(base, version),
                            sim::UpdateSiteSim::Sha256Hex(installer),
                            static_cast<int64_t>(installer.size())};
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in{path, std::ios::binary};
  return std::string{std::istreambuf_iterator<char>{in}, {}};
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out{path, std::ios::binary | std::ios::trunc};
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The update site over TLS with the simulator's certificate authority trusted.
class UpdateSiteTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { plx::TrustExtraCertificateForTests(sim::SimServer::TestCaPath()); }

  plx::UpdateSite Site() {
    plx::UpdateSite site;
    site.base = sim.Base();
    return site;
  }

  sim::SimServer server{sim::SimServer::Transport::Tls};
  sim::UpdateSiteSim sim{server};  // stops the server before it goes
  TempDir dir;
};

}  // namespace vlo::test
