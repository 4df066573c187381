#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace vlo {

class KitButton;
class KitEdit;
class UiKit;

// The search strip over the top of the chat (Ctrl+F): a field, the match count and a close
// button. Escape in the field or the button closes it. Window thread only.
class SearchBar : public QWidget {
  Q_OBJECT

 public:
  SearchBar(QWidget* parent, const UiKit& kit);

  // Called with the text on every edit.
  void SetOnQuery(std::function<void(const QString&)> onQuery);
  void SetOnClose(std::function<void()> onClose);
  // "3 matches", "No matches", or nothing while the field is empty.
  void SetMatchCount(int count);
  QString CountText() const { return countText_; }
  KitEdit* Field() const { return field_; }
  KitButton* CloseButton() const { return close_; }

  static constexpr int kHeight{44};

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  const UiKit& kit_;
  KitEdit* field_;
  KitButton* close_;
  QString countText_;
  std::function<void()> onClose_;
};

// The match count's text for a query of `queryLength` characters.
QString MatchCountText(int count, int queryLength);

}  // namespace vlo
