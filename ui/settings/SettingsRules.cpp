// The settings window's "Highlights" page: the highlight and hide lists, the notification and
// sound switches and the pause choice.
#include "ui/settings/SettingsValidation.h"
#include "ui/settings/SettingsWindow.h"
#include "ui/toolkit/Controls.h"
#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitCheckBox.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/KitLabel.h"

namespace vlo {

namespace {

constexpr const char* kListLabels[]{"Words", "Users", "Patterns", "Users", "Patterns"};
constexpr const char* kListNames[]{"Highlight words", "Highlight users", "Highlight patterns",
                                   "Hidden users", "Hidden patterns"};
constexpr const char* kListCues[]{"hype train", "name or kick:name", "clip (it|that)", "name",
                                  "buy .* followers"};
constexpr const char* kRuleSwitchTexts[]{"Tint first-time chatters",
                                         "Hide !commands and bots",
                                         "Notify me of highlights",
                                         "Sound for highlights",
                                         "Sound on every message",
                                         "Pause under the pointer",
                                         "Read new messages aloud with a screen reader",
                                         "Keep chat logs"};
constexpr const char* kPauseTexts[]{"Pointer leaves", "2 s", "5 s", "10 s"};

// The kit has no multi-line field: a plain text area in the field colours, restyled with the
// theme each time the page opens.
void StyleList(QPlainTextEdit* list, const UiKit& kit) {
  const WindowPalette& p{UiKit::Palette()};
  list->setFont(kit.bodyFont);
  list->setStyleSheet(QStringLiteral("QPlainTextEdit { background: %1; color: %2; border: 1px "
                                     "solid %3; border-radius: 6px; padding: 2px 4px; }"
                                     "QPlainTextEdit:focus { border-color: %4; }")
                          .arg(ToQColor(p.fieldBg).name(), ToQColor(kPrimaryText).name(),
                               ToQColor(p.border).name(), ToQColor(p.accentBright).name()));
}

}  // namespace

void SettingsWindow::CreateRulesControls() {
  std::vector<QWidget*>& page{pageControls_[kRulesPage]};
  highlightTitle_ = CreateLabel(this, kit_, -1, QStringLiteral("Highlight"), false, false);
  highlightTitle_->setFont(kit_.semiboldFont);
  hideTitle_ = CreateLabel(this, kit_, -1, QStringLiteral("Hide"), false, false);
  hideTitle_->setFont(kit_.semiboldFont);
  page.insert(page.end(), {highlightTitle_, hideTitle_});
  for (int i{0}; i < kRuleListCount; ++i) {
    listLabels_[i] = CreateLabel(this, kit_, -1, kListLabels[i], true, false);
    auto* list{new QPlainTextEdit{this}};
    list->setProperty("commandId", kRuleList + i);
    list->setAccessibleName(QString::fromUtf8(kListNames[i]));
    list->setPlaceholderText(QString::fromUtf8(kListCues[i]));
    list->setTabChangesFocus(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    list->installEventFilter(this);
    lists_[i] = list;
    page.insert(page.end(), {listLabels_[i], list});
  }
  listNote_ = CreateLabel(
      this, kit_, -1,
      QStringLiteral("One per line. Words match whole words, patterns are regular expressions; "
                     "both ignore case. Mentions of your names always stand out."),
      false, false);
  listNote_->setFont(kit_.smallFont);
  listNote_->setWordWrap(true);
  listNote_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QPalette muted{listNote_->palette()};
  muted.setColor(QPalette::WindowText, ToQColor(kMutedText));
  listNote_->setPalette(muted);
  page.push_back(listNote_);
  for (int i{0}; i < 6; ++i) {
    ruleSwitches_[i] = CreateCheckBox(this, kit_, kRuleSwitch + i, kRuleSwitchTexts[i]);
    Watch(ruleSwitches_[i], kRuleSwitch + i);
    page.push_back(ruleSwitches_[i]);
  }
  pauseLabel_ = CreateLabel(this, kit_, -1, QStringLiteral("Resume after"), true, false);
  page.push_back(pauseLabel_);
  for (int k{0}; k < kPauseChoices; ++k) {
    KitButton* button{
        CreateButton(this, kit_, kPauseChoice + k, kPauseTexts[k], ButtonKind::Plain)};
    Watch(button, kPauseChoice + k);
    pauseButtons_.push_back(button);
    page.push_back(button);
  }
  for (int i : {7, 6}) {  // logs, then read aloud, top to bottom
    ruleSwitches_[i] = CreateCheckBox(this, kit_, kRuleSwitch + i, kRuleSwitchTexts[i]);
    Watch(ruleSwitches_[i], kRuleSwitch + i);
    page.push_back(ruleSwitches_[i]);
    if (i == 7) {
      openLogs_ = CreateButton(this, kit_, kOpenLogs, QStringLiteral("Open logs folder"),
                               ButtonKind::Plain);
      Watch(openLogs_, kOpenLogs);
      page.push_back(openLogs_);
    }
  }
}

void SettingsWindow::LoadRulesPage() {
  const bool values[]{working_.highlightFirstMessages, working_.hideCommandsAndBots,
                      working_.notifyDesktop,          working_.notifySound,
                      working_.soundEveryMessage,      working_.pauseOnHover,
                      working_.readAloud,              working_.chatLogs};
  for (size_t i{0}; i < ruleSwitches_.size(); ++i) ruleSwitches_[i]->setChecked(values[i]);
  for (int k{0}; k < kPauseChoices; ++k) {
    SetButtonKind(pauseButtons_[k], working_.pauseSeconds == kPauseSeconds[k]
                                        ? ButtonKind::Primary
                                        : ButtonKind::Plain);
    pauseButtons_[k]->setFont(kit_.bodyFont);
    pauseButtons_[k]->setEnabled(working_.pauseOnHover);
  }
  for (QPlainTextEdit* list : lists_) StyleList(list, kit_);
}

void SettingsWindow::ReadRulesPage() {
  for (int i{0}; i < kRuleListCount; ++i) RuleList(working_, i) = SplitLines(lists_[i]->toPlainText());
  working_.highlightFirstMessages = ruleSwitches_[0]->isChecked();
  working_.hideCommandsAndBots = ruleSwitches_[1]->isChecked();
  working_.notifyDesktop = ruleSwitches_[2]->isChecked();
  working_.notifySound = ruleSwitches_[3]->isChecked();
  working_.soundEveryMessage = ruleSwitches_[4]->isChecked();
  working_.pauseOnHover = ruleSwitches_[5]->isChecked();
  working_.readAloud = ruleSwitches_[6]->isChecked();
  working_.chatLogs = ruleSwitches_[7]->isChecked();
}

bool SettingsWindow::CheckPatterns() {
  int list{0};
  const std::optional<std::string> problem{RulesProblem(working_, &list)};
  if (!problem) return true;
  ShowPage(kRulesPage);
  error_->setText(QString::fromStdString(*problem));
  lists_[list]->setFocus(Qt::OtherFocusReason);
  return false;
}

}  // namespace vlo
