#include "ui/toolkit/Controls.h"

#include <QMenu>

#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitCheckBox.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/KitEdit.h"
#include "ui/toolkit/KitLabel.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

namespace {

template <typename Widget>
Widget* Finish(Widget* widget, int id) {
  widget->setProperty("commandId", id);
  widget->show();
  return widget;
}

}  // namespace

KitButton* CreateButton(QWidget* parent, const UiKit& kit, int id, const QString& text,
                        ButtonKind kind) {
  return Finish(new KitButton{text, kind, kit, parent}, id);
}

KitCheckBox* CreateCheckBox(QWidget* parent, const UiKit& kit, int id, const QString& text) {
  return Finish(new KitCheckBox{text, kit, parent}, id);
}

KitEdit* CreateEdit(QWidget* parent, const UiKit& kit, int id, bool readOnly, bool password) {
  return Finish(new KitEdit{kit, readOnly, password, parent}, id);
}

KitLabel* CreateLabel(QWidget* parent, const UiKit& kit, int id, const QString& text,
                      bool secondary, bool title) {
  KitLabel* label{Finish(new KitLabel{text, kit, secondary, title, parent}, id)};
  label->setFocusPolicy(Qt::NoFocus);
  return label;
}

void SetButtonKind(KitButton* button, ButtonKind kind) {
  if (button) button->SetKind(kind);
}

void SetCueText(KitEdit* edit, const QString& text) {
  if (edit) edit->SetCueText(text);
}

void StyleMenu(QMenu& menu) {
  const WindowPalette& p{UiKit::Palette()};
  QPalette colors{menu.palette()};
  colors.setColor(QPalette::Window, ToQColor(p.surface));
  colors.setColor(QPalette::Base, ToQColor(p.surface));
  colors.setColor(QPalette::WindowText, ToQColor(kPrimaryText));
  colors.setColor(QPalette::Text, ToQColor(kPrimaryText));
  colors.setColor(QPalette::ButtonText, ToQColor(kPrimaryText));
  colors.setColor(QPalette::Highlight, ToQColor(blend(p.hoverTint, p.surface, 40)));
  colors.setColor(QPalette::HighlightedText, ToQColor(kWhite));
  colors.setColor(QPalette::Disabled, QPalette::WindowText, ToQColor(kMutedText));
  colors.setColor(QPalette::Disabled, QPalette::Text, ToQColor(kMutedText));
  colors.setColor(QPalette::Disabled, QPalette::ButtonText, ToQColor(kMutedText));
  menu.setPalette(colors);
}

}  // namespace vlo
