#pragma once

#include <QString>
#include <utility>
#include <vector>

class QWidget;

namespace vlo {

inline constexpr int kChoiceCancel{2};

// A modal dialog titled "Velaro Studio" with a main instruction, a content text, the choices as
// command-link buttons in the given order and a Cancel button. Returns the chosen id; Cancel,
// Escape and closing the window give 2. Window thread only.
int ShowChoiceDialog(QWidget* owner, const QString& instruction, const QString& content,
                     const std::vector<std::pair<int, QString>>& choices, int defaultId);

}  // namespace vlo
