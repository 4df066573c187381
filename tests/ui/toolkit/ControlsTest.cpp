#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/toolkit/ChoiceDialog.h"
#include "ui/toolkit/Controls.h"
#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitCheckBox.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/KitEdit.h"
#include "ui/toolkit/KitLabel.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {
namespace {

struct Window {
  Window() {
    widget.resize(320, 200);
    kit.InitForWindow(&widget);
  }
  QWidget widget;
  UiKit kit;
};

bool HasPixel(const QImage& image, QColor color) {
  for (int y{0}; y < image.height(); ++y) {
    for (int x{0}; x < image.width(); ++x) {
      if (image.pixelColor(x, y).rgb() == color.rgb()) return true;
    }
  }
  return false;
}

TEST(UiKitTest, FontsFollowTheDpiAndChildrenMoveWithThem) {
  Window w;
  EXPECT_EQ(w.kit.bodyFont.pixelSize(), 14);
  EXPECT_EQ(w.kit.titleFont.pixelSize(), 22);
  EXPECT_EQ(w.kit.badgeFont.weight(), QFont::Bold);
  EXPECT_EQ(w.kit.semiboldFont.weight(), QFont::DemiBold);
  KitButton* button{CreateButton(&w.widget, w.kit, 1, "Save", ButtonKind::Primary)};
  KitEdit* edit{CreateEdit(&w.widget, w.kit, 2, false, false)};
  KitLabel* label{CreateLabel(&w.widget, w.kit, 3, "Channel", true, false)};
  QFont custom{w.kit.bodyFont};
  custom.setPixelSize(30);
  KitLabel* other{CreateLabel(&w.widget, w.kit, 4, "Other", false, false)};
  other->setFont(custom);

  w.kit.OnDpiChanged(144, &w.widget);
  EXPECT_EQ(w.kit.Scale(14), 21);
  EXPECT_EQ(button->font().pixelSize(), 21);  // semibold at 14 units
  EXPECT_EQ(edit->font().pixelSize(), 20);    // mono at 13 units
  EXPECT_EQ(label->font().pixelSize(), 21);
  EXPECT_EQ(other->font().pixelSize(), 30);  // not one of the kit's fonts: left alone

  w.kit.OnDpiChanged(144, &w.widget);  // same DPI: nothing to do
  EXPECT_EQ(button->font().pixelSize(), 21);
  w.kit.OnDpiChanged(0, &w.widget);  // 0 counts as 96
  EXPECT_EQ(button->font().pixelSize(), 14);
  EXPECT_EQ(edit->font().pixelSize(), 13);
}

TEST(UiKitTest, PaletteChangeReachesEveryKit) {
  Window w;
  const WindowPalette before{UiKit::Palette()};
  UiKit::SetPalette(FindTheme("ocean").windowPalette);
  EXPECT_EQ(UiKit::Palette(), FindTheme("ocean").windowPalette);
  UiKit::SetPalette(before);
}

TEST(KitButtonTest, DisabledPrimaryDrawsSurfaceNotAccent) {
  Window w;
  KitButton* button{CreateButton(&w.widget, w.kit, 1, "Go", ButtonKind::Primary)};
  button->resize(120, 32);
  button->setEnabled(false);
  QImage image{button->grab().toImage()};
  const WindowPalette& p{UiKit::Palette()};
  EXPECT_EQ(image.pixelColor(10, 16).rgb(), ToQColor(p.surface).rgb());
  EXPECT_EQ(image.pixelColor(60, 0).rgb(), ToQColor(p.borderSoft).rgb());  // top border
  button->setEnabled(true);
  image = button->grab().toImage();
  EXPECT_EQ(image.pixelColor(10, 16).rgb(), ToQColor(p.accent).rgb());
}

TEST(KitCheckBoxTest, FocusUnderlineOnlyForKeyboardFocus) {
  Window w;
  KitCheckBox* box{CreateCheckBox(&w.widget, w.kit, 1, "Show timestamps")};
  box->resize(200, 24);
  w.widget.show();
  box->setFocus(Qt::MouseFocusReason);
  EXPECT_FALSE(box->FocusCuesShown());
  box->clearFocus();
  box->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(box->FocusCuesShown(), box->hasFocus());
  QTest::mouseClick(box, Qt::LeftButton);
  EXPECT_TRUE(box->isChecked());
}

TEST(KitEditTest, ReadOnlyCueIsDrawnMutedAndFocusTintsTheFrame) {
  Window w;
  KitEdit* edit{CreateEdit(&w.widget, w.kit, 1, true, false)};
  edit->resize(240, 32);
  SetCueText(edit, "Not signed in");
  QImage image{edit->grab().toImage()};
  EXPECT_TRUE(HasPixel(image, QColor{0x9A, 0x94, 0xA4}));
  const WindowPalette& p{UiKit::Palette()};
  EXPECT_EQ(edit->FrameBorderColor(), ToQColor(p.border));
  EXPECT_EQ(edit->textMargins().left(), w.kit.Scale(8) + 1);

  KitEdit* writable{CreateEdit(&w.widget, w.kit, 2, false, false)};
  w.widget.show();
  writable->setFocus();
  if (writable->hasFocus()) {
    EXPECT_EQ(writable->FrameBorderColor(), ToQColor(blend(p.accent, p.border, 70)));
  }
  writable->setEnabled(false);
  EXPECT_EQ(writable->FrameBorderColor(), ToQColor(p.borderSoft));
}

// Acts on the modal dialog once its event loop runs.
void WithDialog(std::function<void(QWidget*)> act) {
  QTimer::singleShot(0, [act] {
    QWidget* dialog{QApplication::activeModalWidget()};
    ASSERT_NE(dialog, nullptr);
    act(dialog);
  });
}

TEST(ChoiceDialogTest, EscapeCloseAndChoices) {
  Window w;
  const std::vector<std::pair<int, QString>> choices{{1, "Ban"}, {2, "Cancel"}};
  QString title;
  WithDialog([&title](QWidget* dialog) {
    title = dialog->windowTitle();
    QKeyEvent escape{QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier};
    QApplication::sendEvent(dialog, &escape);
  });
  EXPECT_EQ(ShowChoiceDialog(&w.widget, "Ban this viewer?", "Ban someone?", choices, 1), 2);
  EXPECT_EQ(title, "Velaro Studio");

  WithDialog([](QWidget* dialog) { dialog->close(); });
  EXPECT_EQ(ShowChoiceDialog(&w.widget, "Ban this viewer?", "", choices, 1), 2);

  WithDialog([](QWidget* dialog) {
    for (KitButton* button : dialog->findChildren<KitButton*>()) {
      if (button->text().endsWith("Ban")) button->click();
    }
  });
  EXPECT_EQ(ShowChoiceDialog(&w.widget, "Ban this viewer?", "", {{7, "Ban"}}, 7), 7);
}

}  // namespace
}  // namespace vlo
