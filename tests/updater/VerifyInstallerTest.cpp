// Checking an installer file against its release, and recognising an installed copy.

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/updater/FakeInstaller.h"
#include "updater/InstalledCopy.h"
#include "updater/VerifyInstaller.h"

namespace plx {
namespace {

using vlo::test::FakeInstaller;
namespace fs = std::filesystem;

constexpr const char* kBase = "https://velaro.example";

TEST(VerifyInstallerTest, ChecksSizeDigestAndVersionMarker) {
  vlo::test::TempDir dir;
  const fs::path file = dir.path() / "VelaroChat-Setup-1.1.4.sh";
  const std::string good = FakeInstaller("1.1.4");
  const UpdateRelease release = vlo::test::ReleaseOf(kBase, "1.1.4", good);
  std::string longer = good + "x";
  std::string flipped = good;
  flipped[flipped.size() / 2] ^= 0x01;

  struct Case {
    const char* name;
    std::string bytes;
    UpdateRelease release;
    std::string error;  // empty = accepted
  };
  const auto releaseOf = [](const std::string& version, const std::string& bytes) {
    return vlo::test::ReleaseOf(kBase, version, bytes);
  };
  const std::string other = FakeInstaller("1.1.4.1");
  const std::string otherMachine = FakeInstaller("1.1.4", "exit 0\n", 200000, "sparc64");
  const std::string noShebang = "#!/bin/bash\n" + good.substr(10);
  const std::string noMarker = "#!/bin/sh\nexit 0\n" + std::string(5000, 'z');
  const Case cases[] = {
      {"accepted", good, release, ""},
      {"longer", longer, release,
       "Downloaded installer size does not match. Check again to retry."},
      {"shorter", good.substr(0, good.size() - 1), release,
       "Downloaded installer size does not match. Check again to retry."},
      {"digest", flipped, release, "Installer checksum does not match. The file will not run."},
      {"four-part version", other, releaseOf("1.1.4", other),
       "The download is not the expected installer version."},
      {"older marker", FakeInstaller("1.1.3"), releaseOf("1.1.4", FakeInstaller("1.1.3")),
       "The download is not the expected installer version."},
      {"other machine", otherMachine, releaseOf("1.1.4", otherMachine),
       "The download is not the expected installer version."},
      {"not a shell installer", noShebang, releaseOf("1.1.4", noShebang),
       "The download is not the expected installer version."},
      {"no marker", noMarker, releaseOf("1.1.4", noMarker),
       "The download is not the expected installer version."},
  };
  const std::atomic<bool> cancel{false};
  for (const Case& c : cases) {
    vlo::test::WriteFile(file, c.bytes);
    std::string error;
    EXPECT_EQ(VerifyInstaller(file, c.release, cancel, &error), c.error.empty()) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
  }
}

TEST(VerifyInstallerTest, MissingFileAndCancel) {
  vlo::test::TempDir dir;
  const std::string bytes = FakeInstaller("1.1.4");
  const UpdateRelease release = vlo::test::ReleaseOf(kBase, "1.1.4", bytes);
  std::atomic<bool> cancel{false};
  std::string error;
  EXPECT_FALSE(VerifyInstaller(dir.path() / "missing.sh", release, cancel, &error));
  EXPECT_EQ(error, "Could not read the downloaded installer.");

  vlo::test::WriteFile(dir.path() / "a.sh", bytes);
  cancel = true;
  EXPECT_FALSE(VerifyInstaller(dir.path() / "a.sh", release, cancel, &error));
  EXPECT_EQ(error, "Update cancelled.");

  // A folder where the file should be is not an installer of the right size.
  cancel = false;
  fs::create_directory(dir.path() / "folder.sh");
  EXPECT_FALSE(VerifyInstaller(dir.path() / "folder.sh", release, cancel, &error));
  EXPECT_EQ(error, "Downloaded installer size does not match. Check again to retry.");
}

TEST(InstalledCopyTest, TheRegistrationMustNameThisFolder) {
  vlo::test::TempDir dir;
  const fs::path prefix = dir.path() / "prefix";
  const fs::path bin = prefix / "bin";
  fs::create_directories(bin);
  const fs::path registration = bin / kRegistrationFileName;
  const auto registered = [&](const std::string& location) {
    vlo::test::WriteFile(registration,
                         "{\"installLocation\": \"" + location + "\", \"version\": \"1.1.3\"}\n");
  };

  EXPECT_FALSE(IsInstalledCopy(bin));  // a build tree: no registration
  registered(prefix.string());
  EXPECT_TRUE(IsInstalledCopy(bin));
  EXPECT_EQ(ReadInstallRegistration(bin)->version, "1.1.3");
  registered(prefix.string() + "//");
  EXPECT_TRUE(IsInstalledCopy(bin.string() + "/"));
  registered((dir.path() / "prefix" / ".." / "prefix").string());
  EXPECT_TRUE(IsInstalledCopy(bin));
  // The same folder through a symbolic link.
  fs::create_directory_symlink(prefix, dir.path() / "link");
  EXPECT_TRUE(IsInstalledCopy(dir.path() / "link" / "bin"));

  // Installed where this user may not write (root may write anywhere).
  if (::geteuid() != 0) {
    fs::permissions(bin, fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(IsInstalledCopy(bin));
    fs::permissions(bin, fs::perms::owner_write, fs::perm_options::add);
  }

  // A tree copied elsewhere, a relative or empty location, a damaged or oversized file.
  registered((dir.path() / "elsewhere").string());
  EXPECT_FALSE(IsInstalledCopy(bin));
  registered("prefix");
  EXPECT_FALSE(IsInstalledCopy(bin));
  registered("");
  EXPECT_FALSE(IsInstalledCopy(bin));
  vlo::test::WriteFile(registration, "{\"installLocation\": ");
  EXPECT_FALSE(IsInstalledCopy(bin));
  vlo::test::WriteFile(registration, "{\"installLocation\": \"" + prefix.string() +
                                         "\", \"x\": \"" + std::string(70000, 'x') + "\"}");
  EXPECT_FALSE(IsInstalledCopy(bin));

  // The test program itself runs from the build tree.
  EXPECT_FALSE(IsInstalledCopy());
  EXPECT_FALSE(RunningProgramFolder().empty());
}

}  // namespace
}  // namespace plx
