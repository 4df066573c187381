#include "ui/settings/SettingsValidation.h"
#include "ui/settings/SettingsWindow.h"
#include "ui/settings/ThemeSwatch.h"
#include "ui/toolkit/Controls.h"
#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitCheckBox.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/KitEdit.h"
#include "ui/toolkit/KitLabel.h"

namespace vlo {

namespace {

constexpr int kStatic{-1};  // command id of texts that send no commands
constexpr Rgb kHintText{Hex(0x9A94A4)};
constexpr Rgb kErrorText{Hex(0xFFC0C8)};

struct PlatformTexts {
  const char* cue;
  const char* hint;
};

constexpr PlatformTexts kPlatformTexts[]{
    {"Your own channel - or type any channel name",
     "Any public channel can be read without signing in. Sign in to chat and moderate."},
    {"Your own live stream - or a live video link / @channel",
     "Beta: if YouTube chat does not show up, enter the channel name (@name) here. Moderate "
     "YouTube chat on YouTube itself. Sign in with Google to chat."},
    {"Your own channel - or type any channel name",
     "Any public channel can be read without signing in. Sign in to chat."},
};

constexpr const char* kOwnAppNames[]{"Twitch", "YouTube", "Kick"};

constexpr const char* kOptionLabels[]{"Text size", "Name colours", "Spacing", "Opacity"};
constexpr const char* kOptionTexts[][4]{
    {"Small", "Normal", "Large"},
    {"Viewer colours", "Softer", "Platform"},
    {"Comfy", "Compact"},
    {"100%", "90%", "80%", "70%"},
};
constexpr int kOptionBases[]{SettingsWindow::kTextSize, SettingsWindow::kNameStyle,
                             SettingsWindow::kSpacing, SettingsWindow::kOpacity};

constexpr const char* kOverlayOptionLabels[]{"Platforms", "Shows", "Rows fade", "Most rows"};
constexpr const char* kOverlayOptionTexts[][4]{
    {"Twitch", "YouTube", "Kick"},
    {"Chat & alerts", "Chat only", "Alerts only"},
    {"Never", "30 s", "1 min", "2 min"},
    {"10", "20", "50", "100"},
};
constexpr int kOverlayOptionBases[]{SettingsWindow::kOverlayPlatform, SettingsWindow::kOverlayShow,
                                    SettingsWindow::kOverlayFade, SettingsWindow::kOverlayRows};

// Switch texts in command order (300..304).
constexpr const char* kSwitchTexts[]{"Keep window on top", "Show message times",
                                     "Show alerts (subs, raids, Super Chats)", "Animated emotes",
                                     "7TV, BTTV and FFZ emotes"};
// The order in which the switches are laid out and reached with Tab.
constexpr int kSwitchTabOrder[]{0, 1, 4, 3, 2};

void Recolour(KitLabel* label, Rgb color) {
  QPalette colors{label->palette()};
  colors.setColor(QPalette::WindowText, ToQColor(color));
  label->setPalette(colors);
}

// A wrapping 12-unit text in the muted colour, as hints and the footer are.
void MakeNote(KitLabel* label, const UiKit& kit) {
  label->setFont(kit.smallFont);
  label->setWordWrap(true);
  Recolour(label, kHintText);
}

}  // namespace

void SettingsWindow::Watch(QWidget* control, int id) {
  control->installEventFilter(this);
  if (auto* button{qobject_cast<QAbstractButton*>(control)}) {
    connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
  }
}

void SettingsWindow::CreateControls() {
  // Tab order follows the order of creation.
  title_ = CreateLabel(this, kit_, kStatic, QStringLiteral("Settings"), false, true);
  const char* pages[]{"Channels & accounts", "Look & feel", "Overlay", "Highlights"};
  for (int page : {0, 1, kRulesPage, 2}) {  // left to right
    pageButtons_[page] = CreateButton(this, kit_, kPageButton + page, pages[page],
                                      page == 0 ? ButtonKind::Primary : ButtonKind::Plain);
    Watch(pageButtons_[page], kPageButton + page);
  }

  for (int i{0}; i < 3; ++i) {
    accountLines_[i] = CreateLabel(this, kit_, kStatic, QString{}, true, false);
    accountButtons_[i] =
        CreateButton(this, kit_, kAccountButton + i, QStringLiteral("Sign in"), ButtonKind::Plain);
    Watch(accountButtons_[i], kAccountButton + i);
    edits_[i] = CreateEdit(this, kit_, kChannelEdit + i, false, false);
    edits_[i]->setFont(kit_.bodyFont);
    edits_[i]->setMaxLength(200);
    SetCueText(edits_[i], kPlatformTexts[i].cue);
    Watch(edits_[i], kChannelEdit + i);
    hints_[i] = CreateLabel(this, kit_, kStatic, kPlatformTexts[i].hint, false, false);
    MakeNote(hints_[i], kit_);
    hints_[i]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    pageControls_[0].insert(pageControls_[0].end(),
                            {accountLines_[i], accountButtons_[i], edits_[i], hints_[i]});
  }

  ownAppLabel_ = CreateLabel(this, kit_, kStatic, QStringLiteral("Use my own app"), false, false);
  ownAppLabel_->setFont(kit_.semiboldFont);
  pageControls_[0].push_back(ownAppLabel_);
  for (int i{0}; i < 3; ++i) {
    ownAppButtons_[i] =
        CreateButton(this, kit_, kOwnAppButton + i,
                     QStringLiteral("%1 app\u2026").arg(kOwnAppNames[i]), ButtonKind::Plain);
    Watch(ownAppButtons_[i], kOwnAppButton + i);
    pageControls_[0].push_back(ownAppButtons_[i]);
  }
  ownAppNote_ = CreateLabel(this, kit_, kStatic,
                            QStringLiteral("Sign in at the platform with an app you registered "
                                           "there yourself, instead of through ") +
                                QString::fromStdString(portalDomain_) + QStringLiteral("."),
                            false, false);
  MakeNote(ownAppNote_, kit_);
  ownAppNote_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  pageControls_[0].push_back(ownAppNote_);

  themeLabel_ = CreateLabel(this, kit_, kStatic, QStringLiteral("Theme"), false, false);
  themeLabel_->setFont(kit_.semiboldFont);
  pageControls_[1].push_back(themeLabel_);
  int n{0};
  for (const Theme& theme : ThemeTable()) {
    auto* swatch{new ThemeSwatch{theme, kit_, this}};
    swatch->setProperty("commandId", kSwatch + n);
    Watch(swatch, kSwatch + n);
    swatches_.push_back(swatch);
    pageControls_[1].push_back(swatch);
    ++n;
  }
  themeLine_ = CreateLabel(this, kit_, kStatic, QString{}, false, false);
  MakeNote(themeLine_, kit_);
  themeLine_->setWordWrap(false);
  pageControls_[1].push_back(themeLine_);

  for (size_t row{0}; row < optionLabels_.size(); ++row) {
    optionLabels_[row] = CreateLabel(this, kit_, kStatic, kOptionLabels[row], true, false);
    pageControls_[1].push_back(optionLabels_[row]);
    for (int k{0}; k < kOptionCounts[row]; ++k) {
      const int id{kOptionBases[row] + k};
      KitButton* button{CreateButton(this, kit_, id, kOptionTexts[row][k], ButtonKind::Plain)};
      Watch(button, id);
      optionButtons_[row].push_back(button);
      pageControls_[1].push_back(button);
    }
  }

  for (int index : kSwitchTabOrder) {
    switches_[index] = CreateCheckBox(this, kit_, kSwitch + index, kSwitchTexts[index]);
    Watch(switches_[index], kSwitch + index);
    pageControls_[1].push_back(switches_[index]);
  }

  CreateRulesControls();

  std::vector<QWidget*>& overlay{pageControls_[2]};
  overlaySwitch_ = CreateCheckBox(this, kit_, kOverlaySwitch,
                                  QStringLiteral("Serve the chat as an overlay for streaming "
                                                 "software"));
  Watch(overlaySwitch_, kOverlaySwitch);
  overlayPortLabel_ = CreateLabel(this, kit_, kStatic, QStringLiteral("Port"), true, false);
  overlayPort_ = CreateEdit(this, kit_, kOverlayPort, false, false);
  overlayPort_->setFont(kit_.bodyFont);
  overlayPort_->setMaxLength(5);
  Watch(overlayPort_, kOverlayPort);
  connect(overlayPort_, &QLineEdit::textEdited, this, [this] { UpdateOverlayPage(); });
  overlayPortNote_ =
      CreateLabel(this, kit_, kStatic,
                  QStringLiteral("On 127.0.0.1 only: nothing outside this computer can open it."),
                  false, false);
  MakeNote(overlayPortNote_, kit_);
  overlay.insert(overlay.end(),
                 {overlaySwitch_, overlayPortLabel_, overlayPort_, overlayPortNote_});
  for (size_t row{0}; row < overlayOptionLabels_.size(); ++row) {
    overlayOptionLabels_[row] =
        CreateLabel(this, kit_, kStatic, kOverlayOptionLabels[row], true, false);
    overlay.push_back(overlayOptionLabels_[row]);
    for (int k{0}; k < kOverlayOptionCounts[row]; ++k) {
      const int id{kOverlayOptionBases[row] + k};
      KitButton* button{
          CreateButton(this, kit_, id, kOverlayOptionTexts[row][k], ButtonKind::Plain)};
      Watch(button, id);
      overlayOptionButtons_[row].push_back(button);
      overlay.push_back(button);
    }
  }
  overlayAddressLabel_ =
      CreateLabel(this, kit_, kStatic, QStringLiteral("Page address"), false, false);
  overlayAddressLabel_->setFont(kit_.semiboldFont);
  overlayAddress_ = CreateEdit(this, kit_, kOverlayAddress, true, false);
  overlayCopy_ = CreateButton(this, kit_, kOverlayCopy, QStringLiteral("Copy"), ButtonKind::Plain);
  Watch(overlayCopy_, kOverlayCopy);
  overlayNote_ = CreateLabel(
      this, kit_, kStatic,
      QStringLiteral("Add it to your streaming software as a browser source. It uses the theme, "
                     "text size, name colours and times chosen under Look & feel; deleted "
                     "messages and bans leave it at once."),
      false, false);
  MakeNote(overlayNote_, kit_);
  overlayNote_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  overlay.insert(overlay.end(),
                 {overlayAddressLabel_, overlayAddress_, overlayCopy_, overlayNote_});

  error_ = CreateLabel(this, kit_, kStatic, QString{}, false, false);
  Recolour(error_, kErrorText);
  error_->setWordWrap(true);
  footer_ = CreateLabel(this, kit_, kStatic,
                        QStringLiteral("Free to use. Sign-in runs through ") +
                            QString::fromStdString(portalDomain_) + QStringLiteral("."),
                        false, false);
  MakeNote(footer_, kit_);
  cancel_ = CreateButton(this, kit_, kCancel, QStringLiteral("Cancel"), ButtonKind::Plain);
  Watch(cancel_, kCancel);
  save_ = CreateButton(this, kit_, kSave, QStringLiteral("Save"), ButtonKind::Primary);
  Watch(save_, kSave);
}

void SettingsWindow::PlaceControls() {
  const SettingsLayout& l{layout_};
  setFixedSize(l.clientWidth, l.clientHeight);
  title_->setGeometry(l.title);
  for (int page{0}; page < kPageCount; ++page) {
    pageButtons_[page]->setGeometry(l.pageButtons[page]);
  }
  for (int i{0}; i < 3; ++i) {
    const PlatformRowLayout& row{l.platforms[i]};
    accountLines_[i]->setGeometry(row.accountLine);
    accountButtons_[i]->setGeometry(row.accountButton);
    edits_[i]->setGeometry(row.edit);
    hints_[i]->setGeometry(row.hint);
  }
  ownAppLabel_->setGeometry(l.ownApps.label);
  for (int i{0}; i < 3; ++i) ownAppButtons_[i]->setGeometry(l.ownApps.buttons[i]);
  ownAppNote_->setGeometry(l.ownApps.note);
  themeLabel_->setGeometry(l.themeLabel);
  for (size_t n{0}; n < swatches_.size() && n < l.swatches.size(); ++n)
    swatches_[n]->setGeometry(l.swatches[n]);
  themeLine_->setGeometry(l.themeLine);
  for (size_t row{0}; row < optionLabels_.size(); ++row) {
    optionLabels_[row]->setGeometry(l.options[row].label);
    for (size_t k{0}; k < optionButtons_[row].size(); ++k)
      optionButtons_[row][k]->setGeometry(l.options[row].buttons[k]);
  }
  for (size_t i{0}; i < switches_.size(); ++i) switches_[i]->setGeometry(l.switches[i]);
  const OverlayLayout& o{l.overlay};
  overlaySwitch_->setGeometry(o.onSwitch);
  overlayPortLabel_->setGeometry(o.portLabel);
  overlayPort_->setGeometry(o.portEdit);
  overlayPortNote_->setGeometry(o.portNote);
  for (size_t row{0}; row < overlayOptionLabels_.size(); ++row) {
    overlayOptionLabels_[row]->setGeometry(o.options[row].label);
    for (size_t k{0}; k < overlayOptionButtons_[row].size(); ++k)
      overlayOptionButtons_[row][k]->setGeometry(o.options[row].buttons[k]);
  }
  overlayAddressLabel_->setGeometry(o.addressLabel);
  overlayAddress_->setGeometry(o.address);
  overlayCopy_->setGeometry(o.copy);
  overlayNote_->setGeometry(o.note);
  const RulesLayout& r{l.rules};
  highlightTitle_->setGeometry(r.highlightTitle);
  hideTitle_->setGeometry(r.hideTitle);
  for (int i{0}; i < kRuleListCount; ++i) {
    listLabels_[i]->setGeometry(r.listLabels[i]);
    lists_[i]->setGeometry(r.lists[i]);
  }
  listNote_->setGeometry(r.listNote);
  for (size_t i{0}; i < ruleSwitches_.size(); ++i) ruleSwitches_[i]->setGeometry(r.switches[i]);
  pauseLabel_->setGeometry(r.pause.label);
  openLogs_->setGeometry(r.openLogs);
  for (size_t k{0}; k < pauseButtons_.size(); ++k) pauseButtons_[k]->setGeometry(r.pause.buttons[k]);
  error_->setGeometry(l.error);
  footer_->setGeometry(l.footer);
  cancel_->setGeometry(l.cancel);
  save_->setGeometry(l.save);
}

}  // namespace vlo
