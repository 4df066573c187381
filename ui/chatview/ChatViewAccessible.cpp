#include "ui/chatview/ChatViewAccessible.h"

#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <unordered_map>

#include "ui/chatview/ChatView.h"

namespace vlo {

namespace {

// One chat row. Holds the row's id, not its index, so that a list that moved still finds it.
class RowAccessible : public QAccessibleInterface {
 public:
  RowAccessible(ChatView* view, std::string id) : view_{view}, id_{std::move(id)} {}

  bool isValid() const override { return view_ && Index() >= 0; }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override {
    return view_ && view_->window() ? view_->window()->windowHandle() : nullptr;
  }
  QAccessibleInterface* parent() const override {
    return view_ ? QAccessible::queryAccessibleInterface(view_.data()) : nullptr;
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text type) const override {
    const int index{Index()};
    if (index < 0 || (type != QAccessible::Name && type != QAccessible::Description)) return {};
    return AccessibleRowText(view_->Rows()[index]);
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override { return view_ ? view_->RowRectGlobal(Index()) : QRect{}; }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.focusable = true;
    state.readOnly = true;
    const int index{Index()};
    if (index >= 0 && view_) {
      state.focused = view_->hasFocus() && view_->FocusRow() == index;
      state.active = state.focused;
      const QRect row{rect()};
      const QRect visible{view_->viewport()->mapToGlobal(QPoint{}), view_->viewport()->size()};
      state.invisible = !row.intersects(visible);
      state.offscreen = state.invisible;
    }
    return state;
  }

 private:
  int Index() const { return view_ ? view_->IndexOf(id_) : -1; }

  QPointer<ChatView> view_;
  std::string id_;
};

// Row id → registered interface id, per view.
std::unordered_map<const ChatView*, std::unordered_map<std::string, QAccessible::Id>>& Registry() {
  static std::unordered_map<const ChatView*, std::unordered_map<std::string, QAccessible::Id>> ids;
  return ids;
}

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  if (className == QLatin1String("vlo::ChatView")) {
    if (auto* view{qobject_cast<ChatView*>(object)}) return new ChatViewAccessible{view};
  }
  return nullptr;
}

}  // namespace

QString AccessibleRowText(const plx::ChatRow& row) {
  const QString platform{QString::fromUtf8(plx::PlatformName(row.platform))};
  const QString body{QString::fromUtf8(row.body)};
  QString text;
  if (plx::HasTag(row, "system")) {
    text = QStringLiteral("System, ") + platform + QStringLiteral(": ") + body;
  } else if (plx::HasTag(row, "event")) {
    text = QStringLiteral("Alert, ") + platform + QStringLiteral(": ") + body;
  } else if (plx::HasTag(row, "outbound")) {
    text = QStringLiteral("You, sent: ") + body;
  } else {
    text = QString::fromUtf8(row.author) + QStringLiteral(", ") + platform + QStringLiteral(": ") +
           body;
  }
  if (row.deleted) text += QStringLiteral(", deleted");
  return text;
}

ChatViewAccessible::ChatViewAccessible(ChatView* view)
    : QAccessibleWidget{view, QAccessible::List, QStringLiteral("Chat")} {
  view->MarkAccessed();
}

ChatView* ChatViewAccessible::View() const { return static_cast<ChatView*>(widget()); }

std::pair<int, int> ChatViewAccessible::OnScreen() const {
  const ChatView* view{View()};
  const int count{static_cast<int>(view->Rows().size())};
  if (count == 0) return {0, 0};
  const int first{std::max(0, view->Scroll().RowAt(0))};
  int last{view->Scroll().RowAt(view->viewport()->height() - 1)};
  last = std::clamp(last, first, count - 1);
  return {first, last + 1};
}

int ChatViewAccessible::childCount() const {
  const auto [first, end] = OnScreen();
  return end - first;
}

QAccessibleInterface* ChatViewAccessible::RowInterface(int rowIndex) const {
  ChatView* view{View()};
  if (rowIndex < 0 || rowIndex >= static_cast<int>(view->Rows().size())) return nullptr;
  auto& ids{Registry()[view]};
  const std::string& rowId{view->Rows()[rowIndex].id};
  if (const auto found{ids.find(rowId)}; found != ids.end()) {
    if (QAccessibleInterface * known{QAccessible::accessibleInterface(found->second)}) return known;
  }
  auto* row{new RowAccessible{view, rowId}};
  ids[rowId] = QAccessible::registerAccessibleInterface(row);
  return row;
}

QAccessibleInterface* ChatViewAccessible::child(int index) const {
  const auto [first, end] = OnScreen();
  if (index < 0 || first + index >= end) return nullptr;
  return RowInterface(first + index);
}

int ChatViewAccessible::indexOfChild(const QAccessibleInterface* child) const {
  if (!child) return -1;
  const auto [first, end] = OnScreen();
  for (int i{first}; i < end; ++i) {
    if (RowInterface(i) == child) return i - first;
  }
  return -1;
}

QAccessibleInterface* ChatViewAccessible::childAt(int x, int y) const {
  const QPoint local{View()->viewport()->mapFromGlobal(QPoint{x, y})};
  if (!View()->viewport()->rect().contains(local)) return nullptr;
  return RowInterface(View()->Scroll().RowAt(local.y()));
}

QAccessibleInterface* ChatViewAccessible::focusChild() const {
  return View()->hasFocus() ? RowInterface(View()->FocusRow()) : nullptr;
}

QString ChatViewAccessible::text(QAccessible::Text type) const {
  if (type == QAccessible::Name) return QStringLiteral("Chat");
  if (type == QAccessible::Description) {
    if (!View()->accessibleDescription().isEmpty()) return View()->accessibleDescription();
    return QStringLiteral(
               "%1 messages. Arrow keys move between messages, Enter opens a "
               "message's menu.")
        .arg(View()->Rows().size());
  }
  return QAccessibleWidget::text(type);
}

void ChatViewAccessible::Prune() {
  ChatView* view{View()};
  auto& ids{Registry()[view]};
  std::unordered_map<std::string_view, bool> held;
  for (const plx::ChatRow& row : view->Rows()) held.emplace(row.id, true);
  std::erase_if(ids, [&held](const auto& entry) {
    if (held.contains(entry.first)) return false;
    QAccessible::deleteAccessibleInterface(entry.second);
    return true;
  });
}

void ForgetChatViewAccessibility(const ChatView* view) {
  auto& registry{Registry()};
  const auto found{registry.find(view)};
  if (found == registry.end()) return;
  for (const auto& [rowId, id] : found->second) QAccessible::deleteAccessibleInterface(id);
  registry.erase(found);
}

void InstallChatViewAccessibility() {
  static const bool installed{[] {
    QAccessible::installFactory(Factory);
    return true;
  }()};
  (void)installed;
}

}  // namespace vlo
