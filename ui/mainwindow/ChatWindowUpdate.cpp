// The main window's side of updates: timer 1 and the periodic check, the banner, the question
// and the hand-over to the installer.

#include <QPainter>
#include <atomic>
#include <mutex>

#include "core/Version.h"
#include "ui/mainwindow/ChatWindow.h"
#include "ui/mainwindow/UpdateBoxes.h"
#include "ui/themes/Theme.h"
#include "ui/toolkit/KitColors.h"
#include "updater/DownloadUpdate.h"
#include "updater/InstalledCopy.h"
#include "updater/Manifest.h"
#include "updater/ReleaseVersion.h"
#include "updater/RunInstaller.h"

namespace vlo {

namespace {

constexpr const char* kBoxCaption = "Velaro Chat (Beta)";
// Given once: the arguments of a relaunch leave it out, so a release that keeps offering itself
// cannot restart the program over and over.
constexpr std::string_view kInstallUpdateOption = "--install-update";

// Carries the end of a check or of an install attempt from its task to the window thread.
class UpdateEvent final : public QEvent {
 public:
  enum class Kind { CheckFinished, InstallFinished };
  UpdateEvent(Kind kind, bool started) : QEvent{kUpdateEvent}, kind_{kind}, started_{started} {}
  Kind EventKind() const { return kind_; }
  bool InstallerStarted() const { return started_; }

 private:
  Kind kind_;
  bool started_;
};

std::vector<std::string> OwnArgumentsForRelaunch() {
  std::vector<std::string> args = plx::RunningProgramArguments();
  std::erase(args, std::string{kInstallUpdateOption});
  return args;
}

}  // namespace

struct ChatWindow::UpdateShared {
  std::mutex lock;  // the update lock: guards `fetched` and `installError`
  std::optional<plx::UpdateRelease> fetched;
  std::string installError;
  std::atomic<bool> checkRunning{false};
  std::atomic<bool> closing{false};  // the window is closing: a download under way stops
};

void ChatWindow::InitUpdates() {
  updateShared_ = std::make_shared<UpdateShared>();
  updateTimer_.setSingleShot(true);
  connect(&updateTimer_, &QTimer::timeout, this, [this] { OnUpdateTimer(); });
  updateTimer_.start(options_.update.installWithoutAsking ? 0 : options_.update.firstCheckMs);
}

void ChatWindow::MarkClosing() {
  if (updateShared_) updateShared_->closing.store(true);
}

plx::UpdateSite ChatWindow::Site() const {
  plx::UpdateSite site;
  site.base = options_.endpoints.updateSite;
  if (options_.update.clock) site.clock = options_.update.clock;
  return site;
}

void ChatWindow::OnUpdateTimer() {
  updateTimer_.start(kUpdateCheckIntervalMs);
  CheckForUpdate();
}

void ChatWindow::CheckForUpdate() {
  if (updateState_ == UpdateState::Installing) return;
  if (updateShared_->checkRunning.exchange(true)) return;
  RunInBackground([poster = poster_, shared = updateShared_, site = Site()] {
    std::string error;  // a failed check is silent; the next one is six hours away
    std::optional<plx::UpdateRelease> release =
        plx::FetchUpdateManifest(site, &error, &shared->closing);
    {
      std::lock_guard lock{shared->lock};
      shared->fetched = std::move(release);
    }
    shared->checkRunning.store(false);
    poster->Post(std::make_unique<UpdateEvent>(UpdateEvent::Kind::CheckFinished, false));
  });
}

void ChatWindow::HandleUpdateEvent(QEvent* event) {
  const auto* update = static_cast<UpdateEvent*>(event);
  if (update->EventKind() == UpdateEvent::Kind::CheckFinished) {
    OnUpdateCheckFinished();
  } else {
    OnInstallFinished(update->InstallerStarted());
  }
}

void ChatWindow::OnUpdateCheckFinished() {
  std::optional<plx::UpdateRelease> fetched;
  {
    std::lock_guard lock{updateShared_->lock};
    fetched = updateShared_->fetched;
  }
  if (!fetched || !plx::IsNewerVersion(fetched->version, kAppVersion)) return;
  if (updateState_ == UpdateState::Installing || release_ == fetched) return;
  release_ = std::move(fetched);
  updateState_ = UpdateState::Available;
  DoLayout();
  RepaintHeader();
  if (options_.update.installWithoutAsking) StartUpdate();
}

void ChatWindow::StartUpdate() {
  if (updateState_ != UpdateState::Available || !release_) return;
  const plx::UpdateSite site = Site();
  const std::filesystem::path programFolder = options_.update.programFolder.empty()
                                                  ? plx::RunningProgramFolder()
                                                  : options_.update.programFolder;
  if (!plx::IsInstalledCopy(programFolder)) {
    if (options_.openUrl) options_.openUrl(site.base + std::string{plx::kProductPagePath});
    return;
  }
  if (!options_.update.installWithoutAsking) {
    const plx::UpdateRelease asked = *release_;
    const QString question = QString::fromStdString(UpdateQuestion(asked.version));
    const bool yes =
        options_.update.ask ? options_.update.ask(question) : AskYesNo(this, kBoxCaption, question);
    // The box runs its own event loop: a check may have found another release meanwhile.
    if (!yes || updateState_ != UpdateState::Available || release_ != asked) return;
  }
  updateState_ = UpdateState::Installing;
  RepaintHeader();

  const plx::UpdateRelease release = *release_;
  const std::filesystem::path installer =
      options_.dataFolder / "updates" / plx::InstallerFileName(release.version);
  plx::InstallerLaunch launch;
  launch.programFolder = programFolder;
  launch.relaunchArgs = options_.update.relaunchArgs.value_or(OwnArgumentsForRelaunch());
  RunInBackground([poster = poster_, shared = updateShared_, site, release, installer, launch] {
    std::string error;
    bool started = plx::DownloadUpdate(site, release, installer, shared->closing, {}, &error);
    // A window closed meanwhile is not opened again by the installer.
    if (started && shared->closing.load()) {
      started = false;
      error = "Update cancelled.";
    }
    if (started) started = plx::RunInstaller(installer, launch, &error);
    {
      std::lock_guard lock{shared->lock};
      shared->installError = error;
    }
    poster->Post(std::make_unique<UpdateEvent>(UpdateEvent::Kind::InstallFinished, started));
  });
}

std::string ChatWindow::LastInstallError() const {
  std::lock_guard lock{updateShared_->lock};
  return updateShared_->installError;
}

void ChatWindow::OnInstallFinished(bool started) {
  if (started) {
    // The program ends normally; the installer waits for that and then starts it again.
    QTimer::singleShot(0, this, [this] { close(); });
    return;
  }
  updateState_ = UpdateState::Available;
  RepaintHeader();
  // A download the closing window cancelled needs no word.
  if (updateShared_->closing.load()) return;
  const QString warning = QString::fromStdString(UpdateFailedText(LastInstallError()));
  if (options_.update.warn) {
    options_.update.warn(warning);
  } else {
    ShowWarning(this, kBoxCaption, warning);
  }
}

void ChatWindow::PaintBanner(QPainter& painter) {
  if (!BannerShown() || !release_ || layout_.banner.isEmpty()) return;
  const ChatPalette& chat = FindTheme(applied_.theme).chatPalette;
  const Rgb fill =
      BannerColor(updateState_, hot_ == kItemBanner, chat.chatAccent, UiKit::Palette().surface);
  painter.fillRect(layout_.banner, ToQColor(fill));
  const QRect text = layout_.banner.adjusted(12, 0, -12, 0);
  painter.setFont(kit_.semiboldFont);
  painter.setPen(ToQColor(kWhite));
  const QString line = QString::fromStdString(BannerText(updateState_, release_->version));
  painter.drawText(text, Qt::AlignCenter | Qt::TextSingleLine,
                   painter.fontMetrics().elidedText(line, Qt::ElideRight, text.width()));
}

}  // namespace vlo
