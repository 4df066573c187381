#pragma once

#include <QString>

#include "ui/toolkit/ButtonStyle.h"

class QMenu;
class QWidget;

namespace vlo {

class KitButton;
class KitCheckBox;
class KitEdit;
class KitLabel;
class UiKit;

// Control factories: visible tab-stop children of `parent` in the kit's fonts. `id` is kept in
// the "commandId" property so that windows can dispatch on it.
KitButton* CreateButton(QWidget* parent, const UiKit& kit, int id, const QString& text,
                        ButtonKind kind);
KitCheckBox* CreateCheckBox(QWidget* parent, const UiKit& kit, int id, const QString& text);
// Uses the mono font; windows that want another set it afterwards.
KitEdit* CreateEdit(QWidget* parent, const UiKit& kit, int id, bool readOnly, bool password);
KitLabel* CreateLabel(QWidget* parent, const UiKit& kit, int id, const QString& text,
                      bool secondary, bool title);

void SetButtonKind(KitButton* button, ButtonKind kind);
void SetCueText(KitEdit* edit, const QString& text);

// Gives a popup menu the kit's surface, text and highlight colours.
void StyleMenu(QMenu& menu);

}  // namespace vlo
