#include "ui/mainwindow/UserCard.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QPainter>
#include <QScreen>
#include <algorithm>

#include "core/TextRules.h"
#include "ui/themes/RowStyle.h"
#include "ui/themes/Theme.h"
#include "ui/toolkit/Controls.h"
#include "ui/toolkit/Drawing.h"
#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/KitScrollBar.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

namespace {

constexpr int kPad{14};
constexpr int kHeadHeight{78};
constexpr int kListHeight{190};
constexpr int kRowHeight{30};

constexpr const char* kCaptions[]{"Delete message",    "1 min",    "10 min", "1 h", "24 h", "Ban…",
                                  "Open channel page", "Copy name"};

QString Q(const std::string& text) { return QString::fromStdString(text); }

bool IsPlainName(const std::string& name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
  });
}

}  // namespace

std::string ChannelPageAddress(const plx::ChatMessage& row) {
  switch (row.platform) {
    case plx::PlatformId::Twitch:
      return IsPlainName(row.author) ? "https://www.twitch.tv/" + AsciiLower(row.author) : "";
    case plx::PlatformId::Kick:
      return IsPlainName(row.author) ? "https://kick.com/" + AsciiLower(row.author) : "";
    case plx::PlatformId::YouTube:
      return IsPlainName(row.authorId) ? "https://www.youtube.com/channel/" + row.authorId : "";
    default:
      return "";
  }
}

UserCard::UserCard(QWidget* owner, const UiKit& kit)
    : QWidget{owner, Qt::Popup | Qt::FramelessWindowHint}, kit_{kit} {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAccessibleName(QStringLiteral("User card"));
  history_ = new QListWidget{this};
  history_->setAccessibleName(QStringLiteral("Messages since the program started"));
  history_->setWordWrap(true);
  history_->setFocusPolicy(Qt::StrongFocus);
  history_->setSelectionMode(QAbstractItemView::NoSelection);
  history_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  history_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  EnableDarkScrollBars(history_);
  for (int i{0}; i < kButtonCount; ++i) {
    KitButton* button{CreateButton(this, kit, 40 + i, QString::fromUtf8(kCaptions[i]),
                                   i == kBan ? ButtonKind::Danger : ButtonKind::Plain)};
    button->setFont(kit.smallFont);
    connect(button, &KitButton::clicked, this, [this, i] {
      const plx::ChatRow row{content_.row};
      close();
      if (onButton_) onButton_(i, row);
    });
    buttons_.push_back(button);
  }
}

void UserCard::SetOnButton(std::function<void(int, const plx::ChatRow&)> onButton) {
  onButton_ = std::move(onButton);
}

QString UserCard::HeadingText() const {
  return Q(content_.row.author) + QStringLiteral(" · ") +
         QString::fromUtf8(plx::PlatformName(content_.row.platform));
}

void UserCard::Show(Content content, const QRect& anchor) {
  content_ = std::move(content);
  const WindowPalette& window{UiKit::Palette()};
  history_->setStyleSheet(
      QStringLiteral("QListWidget { background: %1; color: %2; border: 1px solid %3; "
                     "border-radius: 6px; padding: 2px; }"
                     "QListWidget::item { padding: 3px 2px; }")
          .arg(ToQColor(window.inset).name(), ToQColor(kPrimaryText).name(),
               ToQColor(window.borderSoft).name()));
  history_->clear();
  for (const UserHistory::Entry& entry : content_.history) {
    const std::string time{TimeText(entry.timestampMs)};
    auto* item{new QListWidgetItem{Q(time.empty() ? "" : time + "  ") + Q(entry.body) +
                                   (entry.deleted ? QStringLiteral("  (deleted)") : QString{})}};
    QFont font{kit_.bodyFont};
    font.setStrikeOut(entry.deleted);
    item->setFont(font);
    if (entry.deleted) item->setForeground(ToQColor(kMutedText));
    history_->addItem(item);
  }
  if (content_.history.empty()) {
    auto* item{new QListWidgetItem{QStringLiteral("No messages held from this viewer.")}};
    item->setForeground(ToQColor(kMutedText));
    history_->addItem(item);
  }

  const bool mod{content_.canModerate};
  const bool hasAuthor{!content_.row.authorId.empty()};
  for (int i{kDelete}; i <= kBan; ++i) buttons_[i]->setVisible(mod);
  buttons_[kDelete]->setEnabled(mod && !content_.row.platformMessageId.empty() &&
                                !content_.row.deleted);
  for (int i{kTimeout1m}; i <= kBan; ++i) buttons_[i]->setEnabled(mod && hasAuthor);
  buttons_[kOpenChannel]->setEnabled(!ChannelPageAddress(content_.row).empty());

  // Layout: heading, the history, the moderation rows when offered, then the two plain buttons.
  int y{kHeadHeight};
  history_->setGeometry(kPad, y + 20, kWidth - 2 * kPad, kListHeight);
  y += 20 + kListHeight + 10;
  moderationTop_ = y;
  if (mod) {
    buttons_[kDelete]->setGeometry(kPad, y, 130, kRowHeight);
    buttons_[kBan]->setGeometry(kWidth - kPad - 80, y, 80, kRowHeight);
    y += kRowHeight + 6;
    const int gap{4};
    const int left{kPad + 70};
    const int each{(kWidth - kPad - left - 3 * gap) / 4};
    for (int i{0}; i < 4; ++i) {
      buttons_[kTimeout1m + i]->setGeometry(left + i * (each + gap), y, each, kRowHeight);
    }
    y += kRowHeight + 10;
  }
  const int half{(kWidth - 2 * kPad - 6) / 2};
  buttons_[kOpenChannel]->setGeometry(kPad, y, half, kRowHeight);
  buttons_[kCopyName]->setGeometry(kPad + half + 6, y, half, kRowHeight);
  y += kRowHeight + kPad;
  resize(kWidth, y);
  Place(anchor);
  show();
  activateWindow();
  history_->setFocus(Qt::PopupFocusReason);
}

void UserCard::Place(const QRect& anchor) {
  QPoint at{anchor.left() + 24, anchor.bottom() + 2};
  const QScreen* screen{QGuiApplication::screenAt(anchor.center())};
  if (screen) {
    const QRect area{screen->availableGeometry()};
    if (at.y() + height() > area.bottom())
      at.setY(std::max(area.top(), anchor.top() - height() - 2));
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width())));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - height())));
  }
  move(at);
}

void UserCard::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void UserCard::paintEvent(QPaintEvent*) {
  QPainter painter{this};
  const WindowPalette& window{UiKit::Palette()};
  const ChatPalette& chat{content_.palette};
  painter.fillRect(rect(), ToQColor(window.surface));
  painter.setPen(ToQColor(window.border));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  // The platform's bar along the left edge, as the row has.
  painter.fillRect(QRect{0, 0, 4, height()}, ToQColor(PlatformColor(chat, content_.row.platform)));

  QFont name{kit_.semiboldFont};
  name.setPixelSize(name.pixelSize() > 0 ? name.pixelSize() + 4 : 18);
  painter.setFont(name);
  painter.setPen(ToQColor(NameColor(content_.row, chat, NameStyle::Viewer)));
  const QRect nameBox{kPad, 10, kWidth - 2 * kPad, 26};
  painter.drawText(
      nameBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
      painter.fontMetrics().elidedText(Q(content_.row.author), Qt::ElideRight, nameBox.width()));

  // The badges as the row shows them.
  painter.setFont(kit_.smallFont);
  double x{kPad};
  const double top{40};
  for (const Badge& badge : HeaderBadges(content_.row, chat)) {
    const QString label{Q(badge.label)};
    const double w{painter.fontMetrics().horizontalAdvance(label) + 10.0};
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ToQColor(mix(badge.color, window.surface, chat.badgeFillPercent)));
    painter.drawRoundedRect(QRectF{x, top, w, 17}, 4, 4);
    painter.setPen(ToQColor(mix(badge.color, chat.text, 55)));
    painter.drawText(QRectF{x, top, w, 17}, Qt::AlignCenter, label);
    x += w + 4;
  }
  painter.setPen(ToQColor(kMutedText));
  const QString id{content_.row.authorId.empty()
                       ? QString{}
                       : QStringLiteral("User id ") + Q(content_.row.authorId)};
  painter.drawText(QRect{kPad, 58, kWidth - 2 * kPad, 16},
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, id);

  painter.setPen(ToQColor(kSecondaryText));
  const QString count{
      QStringLiteral("Messages since the program started (%1)").arg(content_.history.size())};
  painter.drawText(QRect{kPad, kHeadHeight, kWidth - 2 * kPad, 18},
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, count);
  if (content_.canModerate) {
    painter.drawText(QRect{kPad, moderationTop_ + kRowHeight + 6, 66, kRowHeight},
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     QStringLiteral("Time out"));
  }
}

}  // namespace vlo
