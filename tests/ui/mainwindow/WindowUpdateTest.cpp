// The main window's update check, banner, question and hand-over to the installer, against the
// simulated world's update site.

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTest>

#include "core/Version.h"
#include "tests/ui/mainwindow/WindowWorldFixture.h"
#include "tests/updater/FakeInstaller.h"
#include "ui/chatview/ChatView.h"
#include "ui/themes/Theme.h"
#include "updater/InstalledCopy.h"

namespace vlo {
namespace {

namespace fs = std::filesystem;
using sim::UpdateSiteSim;
using test::ProcessUntil;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return lines;
}

class WindowUpdateTest : public test::WindowWorldTest {
 protected:
  void SetUp() override {
    WindowWorldTest::SetUp();
    fs::create_directories(bin);
    test::WriteFile(bin / plx::kRegistrationFileName,
                    "{\"installLocation\": \"" + prefix.string() + "\", \"version\": \"1.1.3\"}");
    adjustOptions = [this](ChatWindow::Options& options) {
      options.update.programFolder = bin;
      options.update.relaunchArgs = std::vector<std::string>{"--profile=work"};
      options.update.ask = [this](const QString& question) {
        questions.push_back(question);
        return answer;
      };
      options.update.warn = [this](const QString& warning) { warnings.push_back(warning); };
    };
  }

  UpdateSiteSim& Site() { return world->UpdateSite(); }
  ChatWindow& Open() { return OpenWindow(ChatSettings{}); }

  // Runs one check to its end, as timer 1 does.
  void Check() {
    window->CheckForUpdate();
    window->WaitForBackgroundTasks();
    QApplication::processEvents();
  }
  void PublishManifest(const std::string& version) {
    Site().SetManifest(UpdateSiteSim::ManifestFor(version, test::FakeInstaller(version)));
  }
  fs::path Installer(const std::string& version) {
    return dir.path() / "updates" / plx::InstallerFileName(version);
  }

  test::TempDir installed;
  fs::path prefix{installed.path() / "prefix"};
  fs::path bin{prefix / "bin"};
  fs::path out{installed.path() / "installer-ran"};
  bool answer{true};
  std::vector<QString> questions;
  std::vector<QString> warnings;
};

TEST_F(WindowUpdateTest, TheFirstCheckComesAfterEightSecondsThenEverySixHours) {
  ChatWindow& w = Open();
  EXPECT_TRUE(w.UpdateTimer().isActive());
  EXPECT_EQ(w.UpdateTimer().interval(), 8000);
  w.OnUpdateTimer();
  EXPECT_TRUE(w.UpdateTimer().isActive());
  EXPECT_EQ(w.UpdateTimer().interval(), 21600000);
  w.WaitForBackgroundTasks();
  QApplication::processEvents();
  // No release published: silent.
  EXPECT_EQ(Site().ManifestRequests(), 1u);
  EXPECT_EQ(w.CurrentUpdateState(), UpdateState::None);
  EXPECT_TRUE(warnings.empty());
}

TEST_F(WindowUpdateTest, TheBannerShowsANewerReleaseOnceAndKeepsIt) {
  ChatWindow& w = Open();
  const QRect chatWithout = w.Layout().chat;
  struct Step {
    std::string manifest;  // version published; empty = none
    std::optional<std::string> shown;
    bool laidOut;
  };
  const Step steps[] = {
      {"1.1.3", std::nullopt, false},  // the running version
      {"0.0.0", std::nullopt, false}, {"1.1.4", "1.1.4", true},
      {"1.1.4", "1.1.4", false},                             // the same release again
      {"0.0.0", "1.1.4", false},      {"", "1.1.4", false},  // a failed check changes nothing
      {"1.2.0", "1.2.0", true},                              // another newer release replaces it
      {"1.1.3", "1.2.0", false},                             // an older one does not
  };
  for (const Step& step : steps) {
    if (step.manifest.empty()) {
      Site().Unpublish();
    } else {
      PublishManifest(step.manifest);
    }
    const int layouts = w.LayoutCount();
    Check();
    EXPECT_EQ(w.KnownRelease() ? std::optional{w.KnownRelease()->version} : std::nullopt,
              step.shown)
        << step.manifest;
    EXPECT_EQ(w.LayoutCount() != layouts, step.laidOut) << step.manifest;
  }
  EXPECT_EQ(w.CurrentUpdateState(), UpdateState::Available);
  EXPECT_EQ(w.KnownRelease()->url, Site().Base() + "/downloads/VelaroChat-Setup-1.2.0.sh");

  // The banner sits under the header and pushes the chat down by its height.
  const int width = w.width();
  EXPECT_EQ(w.Layout().banner, QRect(0, 56, width, 30));
  EXPECT_EQ(w.Layout().chat.top(), chatWithout.top() + 30);
  EXPECT_EQ(w.Layout().chat.height(), chatWithout.height() - 30);
  EXPECT_EQ(w.View().geometry(), w.Layout().chat);
  EXPECT_EQ(w.TooltipFor(kItemBanner), "Version 1.2.0 is available. Click to update.");
  EXPECT_EQ(HitTest(w.Layout(), QPoint{width / 2, 70}, true), kItemBanner);
  QTest::mouseMove(&w, QPoint{width / 3, 300});
  QTest::mouseMove(&w, QPoint{width / 2, 70});
  EXPECT_EQ(w.HotItem(), kItemBanner);
  EXPECT_TRUE(questions.empty());
}

TEST_F(WindowUpdateTest, AtMostOneCheckRunsAtATime) {
  ChatWindow& w = Open();
  PublishManifest("1.1.4");
  sim::HttpAnswer slow = sim::HttpAnswer::Json(UpdateSiteSim::ManifestFor("1.1.4", "x"));
  slow.delayMs = 300;
  Site().Server().AnswerNext("GET", "/downloads/chat-latest.json", 1, slow);
  w.CheckForUpdate();
  w.CheckForUpdate();
  w.WaitForBackgroundTasks();
  EXPECT_EQ(Site().ManifestRequests(), 1u);
}

TEST_F(WindowUpdateTest, ACopyThatWasNotInstalledOpensTheProductPageAndAsksNothing) {
  fs::remove(bin / plx::kRegistrationFileName);
  ChatWindow& w = Open();
  Site().Publish("1.1.4", test::FakeInstaller("1.1.4"));
  Check();
  ASSERT_EQ(w.CurrentUpdateState(), UpdateState::Available);
  w.ClickItem(kItemBanner);
  EXPECT_EQ(opened, std::vector<std::string>{Site().Base() + "/chat"});
  EXPECT_TRUE(questions.empty());
  w.WaitForBackgroundTasks();
  EXPECT_EQ(Site().InstallerRequests(), 0u);
  EXPECT_FALSE(fs::exists(dir.path() / "updates"));
  EXPECT_EQ(w.CurrentUpdateState(), UpdateState::Available);
}

TEST_F(WindowUpdateTest, NoLeavesEverythingAsItWas) {
  answer = false;
  ChatWindow& w = Open();
  Site().Publish("1.1.4", test::FakeInstaller("1.1.4"));
  Check();
  w.ClickItem(kItemBanner);
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0],
            "Update Velaro Chat to version 1.1.4 now?\n\nThe chat closes for a few seconds while "
            "it updates and then opens again by itself. Your channels, sign-ins and settings stay "
            "as they are.");
  w.WaitForBackgroundTasks();
  EXPECT_EQ(w.CurrentUpdateState(), UpdateState::Available);
  EXPECT_EQ(Site().InstallerRequests(), 0u);
}

TEST_F(WindowUpdateTest, YesDownloadsVerifiesStartsTheInstallerAndCloses) {
  ChatWindow& w = Open();
  const std::string installer = test::FakeInstaller("1.1.4", test::RecordingScript(out));
  Site().Publish("1.1.4", installer);
  Check();
  w.ClickItem(kItemBanner);
  EXPECT_EQ(questions.size(), 1u);
  EXPECT_EQ(w.CurrentUpdateState(), UpdateState::Installing);
  // No second check while installing.
  w.CheckForUpdate();

  ASSERT_TRUE(ProcessUntil([&] { return !w.isVisible(); }));
  EXPECT_EQ(w.LastInstallError(), "");
  EXPECT_EQ(test::ReadFile(Installer("1.1.4")), installer);
  ASSERT_TRUE(test::Eventually([&] { return fs::exists(out.string() + ".done"); }));
  EXPECT_EQ(Lines(test::ReadFile(out.string() + ".args")),
            (std::vector<std::string>{
                "--prefix=" + prefix.string(), "--silent", "--keep-desktop-entry",
                "--wait-pid=" + std::to_string(::getpid()), "--relaunch", "--", "--profile=work"}));
  EXPECT_EQ(Site().ManifestRequests(), 1u);
  EXPECT_TRUE(warnings.empty());
}

TEST_F(WindowUpdateTest, AnAttemptThatFailsComesBackAsAWarning) {
  ChatWindow& w = Open();
  const std::string installer = test::FakeInstaller("1.1.4", test::RecordingScript(out));
  Site().ServeInstaller("1.1.4", installer);
  Site().SetManifest(UpdateSiteSim::ManifestFor("1.1.4", installer + "other"));
  Check();
  w.ClickItem(kItemBanner);
  ASSERT_TRUE(ProcessUntil([&] { return !warnings.empty(); }));
  EXPECT_EQ(warnings[0],
            "The update did not start.\n\nDownloaded installer size does not match. Check again to "
            "retry.");
  EXPECT_EQ(w.CurrentUpdateState(), UpdateState::Available);
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(fs::exists(Installer("1.1.4")));
  EXPECT_FALSE(fs::exists(Installer("1.1.4").string() + ".part"));
  EXPECT_FALSE(fs::exists(out.string() + ".args"));

  // The banner offers it again; the next attempt asks again.
  Site().Publish("1.1.4", installer);
  Check();
  EXPECT_EQ(w.KnownRelease()->size, static_cast<int64_t>(installer.size()));
  w.ClickItem(kItemBanner);
  EXPECT_EQ(questions.size(), 2u);
  ASSERT_TRUE(ProcessUntil([&] { return !w.isVisible(); }));
}

TEST_F(WindowUpdateTest, ClosingTheWindowCancelsTheDownload) {
  ChatWindow& w = Open();
  Site().Publish("1.1.4", test::FakeInstaller("1.1.4", test::RecordingScript(out)));
  Site().SetInstallerFault(UpdateSiteSim::Fault::Stall);
  Check();
  w.ClickItem(kItemBanner);
  ASSERT_TRUE(Site().Server().WaitForRequests("/downloads/VelaroChat-Setup-1.1.4.sh", 1));
  w.close();
  w.WaitForBackgroundTasks();
  QApplication::processEvents();
  EXPECT_EQ(w.LastInstallError(), "Update cancelled.");
  EXPECT_TRUE(warnings.empty());
  EXPECT_FALSE(fs::exists(Installer("1.1.4").string() + ".part"));
  EXPECT_FALSE(fs::exists(out.string() + ".args"));
}

TEST_F(WindowUpdateTest, InstallUpdateNowChecksAtOnceAndAsksNothing) {
  adjustOptions = [this, adjust = adjustOptions](ChatWindow::Options& options) {
    adjust(options);
    options.update.installWithoutAsking = true;
  };
  Site().Publish("1.1.4", test::FakeInstaller("1.1.4", test::RecordingScript(out)));
  ChatWindow& w = Open();
  ASSERT_TRUE(ProcessUntil([&] { return !w.isVisible(); }));
  EXPECT_TRUE(questions.empty());
  EXPECT_TRUE(test::Eventually([&] { return fs::exists(out.string() + ".done"); }));
}

TEST_F(WindowUpdateTest, RendersTheBannerInBothStates) {
  ChatWindow& w = Open();
  Site().Publish("1.1.4", test::FakeInstaller("1.1.4"));
  Check();
  const QString folder =
      qEnvironmentVariable("VLO_TEST_BINARY_DIR", QDir::tempPath()) + "/ui-snapshots";
  QDir{}.mkpath(folder);
  const Theme& theme = FindTheme(w.StoredSettings().theme);
  const auto bannerPixel = [&](const QImage& image) { return image.pixelColor(3, 56 + 3); };
  const auto expected = [&](UpdateState state, bool hot) {
    const Rgb c =
        BannerColor(state, hot, theme.chatPalette.chatAccent, theme.windowPalette.surface);
    return QColor(c.r, c.g, c.b);
  };

  QApplication::processEvents();
  QImage image = w.grab().toImage();
  EXPECT_TRUE(image.save(folder + "/window-update-available.png"));
  EXPECT_EQ(bannerPixel(image), expected(UpdateState::Available, false));
  // From elsewhere: a pointer already at that spot (an earlier test) would not move.
  QTest::mouseMove(&w, QPoint{w.width() / 3, 300});
  QTest::mouseMove(&w, QPoint{w.width() / 2, 70});
  ASSERT_EQ(w.HotItem(), kItemBanner);
  image = w.grab().toImage();
  EXPECT_TRUE(image.save(folder + "/window-update-available-hot.png"));
  EXPECT_EQ(bannerPixel(image), expected(UpdateState::Available, true));

  Site().SetInstallerFault(UpdateSiteSim::Fault::Stall);
  w.ClickItem(kItemBanner);
  ASSERT_EQ(w.CurrentUpdateState(), UpdateState::Installing);
  image = w.grab().toImage();
  EXPECT_TRUE(image.save(folder + "/window-update-installing.png"));
  EXPECT_EQ(bannerPixel(image), expected(UpdateState::Installing, true));
  // The header above keeps its surface colour.
  const Rgb surface = theme.windowPalette.surface;
  EXPECT_EQ(image.pixelColor(w.width() / 2, 2), QColor(surface.r, surface.g, surface.b));
}

}  // namespace
}  // namespace vlo
