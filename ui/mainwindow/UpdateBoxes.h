#pragma once

#include <QString>

class QWidget;

namespace vlo {

// The update's message boxes, painted by the toolkit and titled `caption`. The text's first
// paragraph (up to a blank line) is the heading, the rest its explanation. Modal; window thread
// only.

// Question mark, Yes (the default) and No. True when Yes was chosen; No, Escape and closing the
// box give false.
bool AskYesNo(QWidget* owner, const QString& caption, const QString& text);

// Warning sign and OK.
void ShowWarning(QWidget* owner, const QString& caption, const QString& text);

}  // namespace vlo
