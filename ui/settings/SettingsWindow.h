#pragma once

#include <QPlainTextEdit>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "core/ChatSettings.h"
#include "ui/settings/AccountRows.h"
#include "ui/settings/OwnAppDialog.h"
#include "ui/settings/SettingsHost.h"
#include "ui/settings/SettingsLayout.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

class KitButton;
class KitCheckBox;
class KitEdit;
class KitLabel;
class ThemeSwatch;

// The settings window: "Channels & accounts" (channel fields, sign-in per platform), "Look &
// feel" (theme, sizes, opacity and switches), "Highlights" (highlight and hide rules,
// notifications, pause on hover) and "Overlay" (the page server for streaming software, its port
// and the page address to copy). Changes on the second page are previewed
// through the host at once; Save checks the channel fields and hands the working copy back; Cancel,
// Escape and closing discard it. Account actions act at once. One object, owned by the main
// window and reused for every opening. Window thread only.
class SettingsWindow : public QWidget {
  Q_OBJECT

 public:
  // Command identifiers of the controls.
  static constexpr int kPageButton{50};      // + page
  static constexpr int kAccountButton{100};  // + platform row (Twitch, YouTube, Kick)
  static constexpr int kChannelEdit{200};    // + platform row
  static constexpr int kSwitch{300};         // on top, times, alerts, animated, providers
  static constexpr int kTextSize{400};       // + size
  static constexpr int kNameStyle{410};      // + style
  static constexpr int kSpacing{420};        // comfy, compact
  static constexpr int kOpacity{430};        // 100, 90, 80, 70 %
  static constexpr int kSwatch{500};         // + theme index
  static constexpr int kOwnAppButton{600};   // + platform row: "Use my own app"
  static constexpr int kOverlaySwitch{700};
  static constexpr int kOverlayPort{701};
  static constexpr int kOverlayCopy{702};
  static constexpr int kOverlayAddress{703};
  static constexpr int kOverlayPlatform{710};  // + Twitch, YouTube, Kick (each on or off)
  static constexpr int kOverlayShow{720};      // chat and alerts, chat only, alerts only
  static constexpr int kOverlayFade{730};      // never, 30 s, 1 min, 2 min
  static constexpr int kOverlayRows{740};      // 10, 20, 50, 100
  // first-message tint, hide commands and bots, notify, sound, sound on every message, pause,
  // read new messages aloud, keep chat logs
  static constexpr int kRuleSwitch{800};
  static constexpr int kOpenLogs{830};
  static constexpr int kPauseChoice{810};  // until the pointer leaves, 2 s, 5 s, 10 s
  // highlight words, users, patterns; hidden users, patterns
  static constexpr int kRuleList{820};
  static constexpr int kCancel{900};
  static constexpr int kSave{901};

  // Called when the window closes: saved is false for Cancel, Escape, the caption's close and
  // RequestClose; `settings` is the working copy (the validated one when saved).
  using Completion = std::function<void(bool saved, const ChatSettings& settings)>;

  // `portalDomain` ends the footer ("Sign-in runs through <domain>.").
  SettingsWindow(QWidget* owner, SettingsHost& host, std::string portalDomain);

  // Runs the window modally over its owner until it closes; true when the user saved, and then
  // `settings` holds the saved copy. False at once when the window is already open.
  bool ShowSettings(ChatSettings& settings);
  // Opens without blocking; `done` runs once when the window closes. False when already open.
  bool Open(const ChatSettings& settings, Completion done);
  // Closes unsaved, as the main window does when it is asked to close.
  void RequestClose();
  // Rebuilds the three account rows from the host; nothing while closed.
  void RefreshAccounts();
  // Opens the own-app dialog of platform row `row` over this window (it closes by itself).
  void OpenOwnApp(int row);
  void ShowPage(int page);

  bool IsOpen() const { return open_; }
  int Page() const { return page_; }
  const ChatSettings& Working() const { return working_; }
  const SettingsLayout& Layout() const { return layout_; }
  // The control with the given command identifier, or null.
  QWidget* Control(int id) const;
  QString ErrorText() const;
  QString AccountLine(int row) const;
  QString ThemeLineText() const;
  QString FooterText() const;
  QString OverlayAddressText() const;
  static constexpr int kPageCount{4};
  static constexpr int kRulesPage{3};
  // The own-app dialog while it is open, else null.
  OwnAppDialog* OwnAppDialogShown() const { return ownAppDialog_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void PlaceControls();
  void Watch(QWidget* control, int id);
  void OnCommand(int id);
  void OnAccountButton(int row);
  void OwnAppClosed(const OwnAppDialog& dialog);
  // Which platforms sign in with the user's own app, asked of the host once per change.
  void ReadOwnApps();
  // The row's line, or the longest shorter form that fits the line's width.
  void ShowAccountLine(int row, const AccountRow& account);
  // Reads the switches, restyles the option buttons and swatches and previews the working copy.
  void AfterOptionChange();
  void ReadSwitches();
  void UpdateOptionKinds();
  // Restyles the overlay page's choices and shows the address they make.
  void UpdateOverlayPage();
  // Fills the highlights page from the working copy, and reads it back.
  void LoadRulesPage();
  void ReadRulesPage();
  // The first pattern that cannot be used, told in the error line; false then.
  bool CheckPatterns();
  void CreateRulesControls();
  bool Save();
  void Finish(bool saved);
  // Handles Escape and Enter from the window or any control; true when the key was used.
  bool HandleKey(int key);
  void PaintBadge(QPainter& painter, const QRect& nameBand, int nameWidth);

  QPointer<QWidget> owner_;
  SettingsHost& host_;
  std::string portalDomain_;
  UiKit kit_;
  SettingsLayout layout_;
  ChatSettings working_;
  Completion done_;
  int page_{0};
  bool open_{false};

  KitLabel* title_{nullptr};
  std::array<KitButton*, 4> pageButtons_{};
  std::array<KitLabel*, 3> accountLines_{};
  std::array<KitButton*, 3> accountButtons_{};
  std::array<KitEdit*, 3> edits_{};
  std::array<KitLabel*, 3> hints_{};
  KitLabel* ownAppLabel_{nullptr};
  std::array<KitButton*, 3> ownAppButtons_{};
  KitLabel* ownAppNote_{nullptr};
  std::array<bool, 3> ownApps_{};
  QPointer<OwnAppDialog> ownAppDialog_;
  KitLabel* themeLabel_{nullptr};
  std::vector<ThemeSwatch*> swatches_;
  KitLabel* themeLine_{nullptr};
  std::array<KitLabel*, 4> optionLabels_{};
  std::array<std::vector<KitButton*>, 4> optionButtons_{};
  std::array<KitCheckBox*, 5> switches_{};
  KitCheckBox* overlaySwitch_{nullptr};
  KitLabel* overlayPortLabel_{nullptr};
  KitEdit* overlayPort_{nullptr};
  KitLabel* overlayPortNote_{nullptr};
  std::array<KitLabel*, 4> overlayOptionLabels_{};
  std::array<std::vector<KitButton*>, 4> overlayOptionButtons_{};
  KitLabel* overlayAddressLabel_{nullptr};
  KitEdit* overlayAddress_{nullptr};
  KitButton* overlayCopy_{nullptr};
  KitLabel* overlayNote_{nullptr};
  KitLabel* highlightTitle_{nullptr};
  KitLabel* hideTitle_{nullptr};
  std::array<KitLabel*, 5> listLabels_{};
  std::array<QPlainTextEdit*, 5> lists_{};
  KitLabel* listNote_{nullptr};
  std::array<KitCheckBox*, 8> ruleSwitches_{};
  KitButton* openLogs_{nullptr};
  KitLabel* pauseLabel_{nullptr};
  std::vector<KitButton*> pauseButtons_;
  KitLabel* error_{nullptr};
  KitLabel* footer_{nullptr};
  KitButton* cancel_{nullptr};
  KitButton* save_{nullptr};
  // The controls shown only on each page.
  std::array<std::vector<QWidget*>, 4> pageControls_{};
};

}  // namespace vlo
