// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QRect>
#include <QString>

class QLabel;
class QWidget;

namespace kestrin {

// The zone windows' faces are Windows fonts; where they are missing the style hint picks a
// look-alike. FixedFont is Courier New, bold; SansFont is Arial.
QFont FixedFont(qreal points);
QFont SansFont(qreal points, bool bold);

// A label of the zone windows: plain text at the top left, never taken for markup.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font,
                  const QRect& geometry);
// Widgets of a control array are named "<name>_<index>" and carry the index as a property.
void NameElement(QWidget* widget, const char* name, int index);
// A single-line border, as the value cells have.
void MakeBordered(QLabel* label);

}  // namespace kestrin
