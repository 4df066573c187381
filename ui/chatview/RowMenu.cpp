// The row context menu of the chat view and its commands.
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QMenu>

#include "ui/chatview/ChatView.h"
#include "ui/toolkit/ChoiceDialog.h"
#include "ui/toolkit/Controls.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

namespace {

QAction* AddCommand(QMenu& menu, const QString& text, int command, bool enabled = true) {
  QAction* action{menu.addAction(text)};
  action->setData(command);
  action->setEnabled(enabled);
  return action;
}

void Copy(const std::string& text) {
  if (QClipboard * clipboard{QApplication::clipboard()}) {
    clipboard->setText(QString::fromUtf8(text));
  }
}

}  // namespace

std::unique_ptr<QMenu> ChatView::BuildRowMenu(int rowIndex) {
  if (rowIndex < 0 || rowIndex >= static_cast<int>(rows_.size())) return nullptr;
  const plx::ChatRow& row{rows_[rowIndex]};
  auto menu{std::make_unique<QMenu>(this)};
  StyleMenu(*menu);
  if (plx::HasTag(row, "outbound") || plx::HasTag(row, "system")) {
    AddCommand(*menu, QStringLiteral("Copy message"), kCopyMessage);
    return menu;
  }
  QAction* heading{menu->addAction(QString::fromUtf8(row.author) + QStringLiteral("  \u00b7  ") +
                                   QString::fromUtf8(plx::PlatformName(row.platform)))};
  heading->setEnabled(false);
  menu->addSeparator();

  const bool can{canModerate_ && canModerate_(row.platform)};
  const bool author{can && !row.authorId.empty()};
  AddCommand(*menu, QStringLiteral("Delete message"), kDelete,
             can && !row.platformMessageId.empty() && !row.deleted);
  QMenu* timeout{menu->addMenu(QStringLiteral("Time out"))};
  StyleMenu(*timeout);
  AddCommand(*timeout, QStringLiteral("1 minute"), kTimeout1m);
  AddCommand(*timeout, QStringLiteral("10 minutes"), kTimeout10m);
  AddCommand(*timeout, QStringLiteral("1 hour"), kTimeout1h);
  AddCommand(*timeout, QStringLiteral("24 hours"), kTimeout24h);
  timeout->menuAction()->setEnabled(author);
  AddCommand(*menu, QStringLiteral("Ban from chat\u2026"), kBan, author);
  if (!can) {
    menu->addAction(QStringLiteral("Sign in under Settings to moderate (owner or moderator)"))
        ->setEnabled(false);
  }
  menu->addSeparator();
  AddCommand(*menu, QStringLiteral("Copy message"), kCopyMessage);
  AddCommand(*menu, QStringLiteral("Copy name"), kCopyName);
  if (userCard_) AddCommand(*menu, QStringLiteral("User card"), kUserCard);
  if (ignore_) {
    menu->addSeparator();
    AddCommand(*menu, QStringLiteral("Ignore user"), kIgnoreUser);
  }
  return menu;
}

void ChatView::RunRowCommand(const plx::ChatRow& row, int command) {
  auto moderate = [this, &row](ModAction action, int argument) {
    if (moderate_) moderate_(row, action, argument);
  };
  switch (command) {
    case kDelete:
      moderate(ModAction::Delete, 0);
      break;
    case kTimeout1m:
      moderate(ModAction::Timeout, 60);
      break;
    case kTimeout10m:
      moderate(ModAction::Timeout, 600);
      break;
    case kTimeout1h:
      moderate(ModAction::Timeout, 3600);
      break;
    case kTimeout24h:
      moderate(ModAction::Timeout, 86400);
      break;
    case kBan: {
      const QString platform{QString::fromUtf8(plx::PlatformName(row.platform))};
      const QString content{QStringLiteral("Ban ") + QString::fromUtf8(row.author) +
                            QStringLiteral(" from this ") + platform +
                            QStringLiteral(" chat? They can no longer chat there until a "
                                           "moderator unbans them.")};
      const int choice{ShowChoiceDialog(window(), QStringLiteral("Ban this viewer?"), content,
                                        {{1, QStringLiteral("Ban")}, {2, QStringLiteral("Cancel")}},
                                        kChoiceCancel)};
      if (choice == 1) moderate(ModAction::Ban, 0);
      break;
    }
    case kCopyMessage:
      Copy(row.author + ": " + row.body);
      break;
    case kCopyName:
      Copy(row.author);
      break;
    case kIgnoreUser:
      if (ignore_) ignore_(row);
      break;
    case kUserCard:
      if (userCard_) {
        const QRect anchor{RowRectGlobal(IndexOf(row.id))};
        userCard_(row, anchor.isNull() ? QRect{QCursor::pos(), QSize{1, 1}} : anchor);
      }
      break;
    default:
      break;
  }
}

}  // namespace vlo
