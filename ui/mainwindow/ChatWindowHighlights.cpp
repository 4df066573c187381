// The main window's highlights: marking rows by the user's rules, the mentions view, desktop
// notifications and sounds, ignoring authors, and searching the chat.
#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QPainter>
#include <QShortcut>

#include "core/AppPaths.h"
#include "ui/mainwindow/AlertSound.h"
#include "ui/mainwindow/ChatWindow.h"
#include "ui/mainwindow/DesktopNotifier.h"
#include "ui/mainwindow/SearchBar.h"
#include "ui/mainwindow/UserCard.h"
#include "ui/themes/Theme.h"
#include "ui/toolkit/Drawing.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/KitEdit.h"

namespace vlo {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

RowTint TintFor(const RowMark& mark) {
  if (mark.highlight != Highlight::None) return RowTint::Highlight;
  return mark.first ? RowTint::First : RowTint::None;
}

bool RowMatches(const plx::ChatRow& row, const QString& folded) {
  return QString::fromUtf8(row.author).toCaseFolded().contains(folded) ||
         QString::fromUtf8(row.body).toCaseFolded().contains(folded);
}

}  // namespace

void ChatWindow::InitHighlights() {
  search_ = new SearchBar{this, kit_};
  search_->SetOnQuery([this](const QString& text) {
    query_ = text.trimmed().toCaseFolded();
    RefreshRows();
    view_->JumpToLatest();
  });
  search_->SetOnClose([this] { CloseSearch(); });
  auto* find = new QShortcut{QKeySequence::Find, this};
  connect(find, &QShortcut::activated, this, [this] { OpenSearch(); });

  view_->SetIgnoreCallback([this](const plx::ChatMessage& row) { IgnoreAuthor(row); });
  card_ = new UserCard{this, kit_};
  card_->SetOnButton([this](int button, const plx::ChatRow& row) {
    constexpr int kViewCommands[]{ChatView::kDelete,     ChatView::kTimeout1m,
                                  ChatView::kTimeout10m, ChatView::kTimeout1h,
                                  ChatView::kTimeout24h, ChatView::kBan};
    if (button <= UserCard::kBan) {
      view_->RunRowCommand(row, kViewCommands[button]);
    } else if (button == UserCard::kOpenChannel) {
      const std::string address = ChannelPageAddress(row);
      if (!address.empty() && options_.openUrl) options_.openUrl(address);
    } else if (button == UserCard::kCopyName) {
      QApplication::clipboard()->setText(QString::fromStdString(row.author));
    }
  });
  view_->SetUserCardCallback(
      [this](const plx::ChatRow& row, const QRect& anchor) { OpenUserCard(row, anchor); });
  sound_ = std::make_unique<AlertSound>(options_.dataFolder / "sounds");
  if (options_.notify) {
    notifier_ = std::make_unique<DesktopNotifier>(QDBusConnection::sessionBus(),
                                                  QStringLiteral("Velaro Chat"),
                                                  QStringLiteral("velaro-chat"));
    notifier_->SetOnActivated([this](const std::string& rowId) { ShowRow(rowId); });
  }
}

void ChatWindow::ApplyRules(const ChatSettings& settings) {
  marker_.SetRules(ChatRules{settings, identities_});
}

void ChatWindow::WatchIdentities() {
  std::string names;
  for (const PlatformStatus& status : statuses_) {
    names += (status.signedIn ? "1" : "0") + status.account + "\n";
  }
  if (names == watchedNames_) return;
  watchedNames_ = names;
  // The store is read only when a sign-in or sign-out changed what the statuses show.
  identities_.clear();
  for (plx::PlatformId platform : plx::kReadPlatforms) {
    const plx::AccountInfo info = accounts_->AccountFromStore(platform);
    if (!info.signedIn) continue;
    identities_.push_back({platform, info.login.value_or(""), info.displayName.value_or("")});
  }
  ApplyRules(stored_);
}

void ChatWindow::OnFreshRow(const plx::ChatRow& row, const RowMark& mark) {
  if (mark.hidden || !plx::IsViewerMessage(row)) return;
  const bool highlight = mark.highlight != Highlight::None;
  if (highlight && !mentionsOnly_) ++unseenHighlights_;
  if (isActiveWindow()) return;
  if (highlight && stored_.notifyDesktop && notifier_) {
    notifier_->Notify({row.id, row.author + " · " + plx::PlatformName(row.platform), row.body});
  }
  if ((highlight && stored_.notifySound) || stored_.soundEveryMessage) sound_->Play();
}

void ChatWindow::RefreshRows() {
  std::vector<plx::ChatRow> shown;
  std::vector<RowTint> tints;
  shown.reserve(rows_.size());
  tints.reserve(rows_.size());
  hiddenCount_ = 0;
  highlightCount_ = 0;
  for (const plx::ChatRow& row : rows_) {
    bool fresh = false;
    bool newlyDeleted = false;
    const RowMark& mark = marker_.Mark(row, &fresh, &newlyDeleted);
    if (fresh) {
      history_.Add(row);
      OnFreshRow(row, mark);
    }
    if (newlyDeleted) history_.MarkDeleted(row.platform, row.authorId, row.id);
    if (!ShowsRow(row, stored_.filter)) continue;
    if (mark.hidden) {
      ++hiddenCount_;
      continue;
    }
    if (mark.highlight != Highlight::None) ++highlightCount_;
    if (mentionsOnly_ && mark.highlight == Highlight::None) continue;
    if (!query_.isEmpty() && !RowMatches(row, query_)) continue;
    shown.push_back(row);
    tints.push_back(TintFor(mark));
  }
  marker_.Prune(rows_);

  EmptyTexts texts = EmptyViewTexts(statuses_, stored_.filter);
  if (!query_.isEmpty()) {
    texts = {"No matches",
             "Nothing held in the chat has this name or text. Esc shows the whole "
             "chat again."};
  } else if (mentionsOnly_) {
    texts = {"No mentions yet",
             "Messages that name you or match your highlights show here. Click @ again for the "
             "whole chat."};
  }
  view_->SetEmptyTexts(Q(texts.title), Q(texts.hint));
  const int matches = static_cast<int>(shown.size());
  view_->SetRows(std::move(shown), std::move(tints));
  if (search_->isVisible()) search_->SetMatchCount(matches);
}

void ChatWindow::SetMentionsOnly(bool on) {
  if (on == mentionsOnly_) return;
  mentionsOnly_ = on;
  if (on) unseenHighlights_ = 0;
  view_->ReleasePause();
  RefreshRows();
  view_->JumpToLatest();
  RepaintHeader();
}

void ChatWindow::OpenSearch() {
  if (!search_->isVisible()) {
    view_->ReleasePause();
    beforeSearch_ = view_->Position();
    search_->show();
    DoLayout();
  }
  search_->Field()->setFocus();
  search_->Field()->selectAll();
}

void ChatWindow::CloseSearch() {
  if (!search_->isVisible()) return;
  search_->hide();
  const bool filtered = !query_.isEmpty();
  query_.clear();
  search_->Field()->clear();
  DoLayout();
  if (filtered) RefreshRows();
  view_->RestorePosition(beforeSearch_);
  view_->setFocus();
}

void ChatWindow::ShowRow(const std::string& rowId) {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  if (!view_->ScrollToRow(rowId)) {
    // Hidden by the platform filter, the mentions view or a search: show the whole chat.
    CloseSearch();
    SetMentionsOnly(false);
    if (stored_.filter != 0) {
      stored_.filter = 0;
      RefreshRows();
      Save();
      update();
    }
    if (!view_->ScrollToRow(rowId)) view_->JumpToLatest();
  }
}

void ChatWindow::IgnoreAuthor(const plx::ChatMessage& row) {
  const std::string rule = UserRuleFor(row.platform, row.author);
  if (std::find(stored_.ignoreUsers.begin(), stored_.ignoreUsers.end(), rule) !=
      stored_.ignoreUsers.end()) {
    return;
  }
  stored_.ignoreUsers.push_back(rule);
  applied_.ignoreUsers = stored_.ignoreUsers;
  ApplyRules(stored_);
  Save();
  RefreshRows();
  hub_->PostSystemLine(row.platform, "Ignoring " + row.author + " on " +
                                         plx::PlatformName(row.platform) +
                                         ". Remove them under Settings, Highlights.");
}

void ChatWindow::OpenUserCard(const plx::ChatRow& row, const QRect& anchor) {
  UserCard::Content content;
  content.row = row;
  content.history = history_.Of(row.platform, row.authorId);
  content.canModerate = CanModerate(row.platform);
  content.palette = FindTheme(applied_.theme).chatPalette;
  card_->Show(std::move(content), anchor);
}

void ChatWindow::PaintMentionsButton(QPainter& painter) {
  const WindowPalette& window = UiKit::Palette();
  const ChatPalette& chat = FindTheme(applied_.theme).chatPalette;
  const QRect box = layout_.mentions;
  const bool hot = hot_ == kItemMentions;
  if (mentionsOnly_) {
    DrawRoundedBox(painter, box, blend(chat.warning, window.surface, hot ? 30 : 22), chat.warning,
                   10);
  } else if (hot) {
    DrawRoundedBox(painter, box, blend(kWhite, window.surface, 8), window.border, 10);
  }
  QFont font = kit_.semiboldFont;
  font.setPixelSize(17);
  painter.setFont(font);
  painter.setPen(ToQColor(mentionsOnly_ ? chat.warning : kSecondaryText));
  painter.drawText(box.adjusted(0, -1, 0, -1), Qt::AlignCenter, QStringLiteral("@"));
  if (unseenHighlights_ > 0 && !mentionsOnly_) {
    const QString count =
        unseenHighlights_ > 99 ? QStringLiteral("99+") : QString::number(unseenHighlights_);
    QFont small = kit_.smallFont;
    small.setPixelSize(10);
    small.setBold(true);
    painter.setFont(small);
    const int w = std::max(16, QFontMetrics{small}.horizontalAdvance(count) + 8);
    const QRectF badge{box.right() - w + 5.0, box.top() - 2.0, double(w), 16.0};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ToQColor(chat.warning));
    painter.drawRoundedRect(badge, 8, 8);
    painter.setPen(ToQColor(chat.chatBg));
    painter.drawText(badge, Qt::AlignCenter, count);
    painter.restore();
  }
}

}  // namespace vlo
