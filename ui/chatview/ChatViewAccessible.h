#pragma once

#include <QAccessibleWidget>
#include <QString>

#include "core/ChatMessage.h"

namespace vlo {

class ChatView;

// What assistive technology reads for a row: "author, Platform: text", alerts and system lines
// named as such, ", deleted" after a deleted row's text.
QString AccessibleRowText(const plx::ChatRow& row);

// The chat view as a list for assistive technology, one child per row on screen. Installed by
// InstallChatViewAccessibility; window thread only.
class ChatViewAccessible : public QAccessibleWidget {
 public:
  explicit ChatViewAccessible(ChatView* view);

  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
  QAccessibleInterface* childAt(int x, int y) const override;
  QAccessibleInterface* focusChild() const override;
  QString text(QAccessible::Text type) const override;

  // The interface of the row at `rowIndex` of the view's list, made once per row id.
  QAccessibleInterface* RowInterface(int rowIndex) const;
  // Forgets the interfaces of rows the view no longer holds.
  void Prune();

 private:
  ChatView* View() const;
  // The first and one-past-last row indexes on screen.
  std::pair<int, int> OnScreen() const;
};

// Makes Qt ask for ChatViewAccessible for every chat view; idempotent.
void InstallChatViewAccessibility();
// Drops the row interfaces of a view that goes.
void ForgetChatViewAccessibility(const ChatView* view);

}  // namespace vlo
