#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "core/ChatMessage.h"
#include "core/UserHistory.h"
#include "ui/themes/Theme.h"

class QListWidget;

namespace vlo {

class KitButton;
class UiKit;

// A small card about one viewer, opened from a name or the row menu: the name in its colour, the
// platform and badges, the platform's user id, what they said since the program started (newest
// first, deleted messages struck through), moderation buttons when the user may moderate there,
// and "Open channel page" and "Copy name". A popup: Escape or a click elsewhere closes it.
// Window thread only.
class UserCard : public QWidget {
  Q_OBJECT

 public:
  // Buttons, in tab order; the moderation ones are the row menu's commands.
  enum Button : int {
    kDelete = 0,
    kTimeout1m = 1,
    kTimeout10m = 2,
    kTimeout1h = 3,
    kTimeout24h = 4,
    kBan = 5,
    kOpenChannel = 6,
    kCopyName = 7,
  };
  static constexpr int kButtonCount{8};

  struct Content {
    plx::ChatRow row;  // the row the card was opened from
    std::vector<UserHistory::Entry> history;
    bool canModerate{false};
    ChatPalette palette;  // the theme's, for the name, badges and platform colour
  };

  UserCard(QWidget* owner, const UiKit& kit);

  // Fills the card and shows it next to `anchor` (global coordinates), inside the screen.
  void Show(Content content, const QRect& anchor);
  // Called with the button pressed and the row the card was opened from; the card closes first.
  void SetOnButton(std::function<void(int button, const plx::ChatRow& row)> onButton);

  const plx::ChatRow& Row() const { return content_.row; }
  KitButton* ButtonAt(int button) const { return buttons_[button]; }
  QListWidget* History() const { return history_; }
  QString HeadingText() const;

  static constexpr int kWidth{330};

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Place(const QRect& anchor);

  const UiKit& kit_;
  Content content_;
  QListWidget* history_;
  std::vector<KitButton*> buttons_;
  std::function<void(int, const plx::ChatRow&)> onButton_;
  int moderationTop_{0};
};

// The channel page of a viewer, or empty when the platform has none that can be made from what
// the row holds.
std::string ChannelPageAddress(const plx::ChatMessage& row);

}  // namespace vlo
