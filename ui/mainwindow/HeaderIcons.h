#pragma once

#include <QIcon>
#include <QPainter>
#include <QRectF>

#include "ui/themes/Color.h"

namespace vlo {

// The pin and gear glyphs as vector paths, centred in `box` (about 16 logical pixels tall).
void DrawPinIcon(QPainter& painter, const QRectF& box, Rgb color);
void DrawGearIcon(QPainter& painter, const QRectF& box, Rgb color);

// The program's icon (the installed SVG drawn as paths), at the sizes window managers ask for.
QIcon AppIcon();

}  // namespace vlo
