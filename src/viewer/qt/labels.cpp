// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/qt/labels.h"

#include <QLabel>

namespace kestrin {

QFont FixedFont(qreal points) {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

QFont SansFont(qreal points, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font,
                  const QRect& geometry) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    // Texts come from a file: never let one be taken for markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    label->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    label->setGeometry(geometry);
    return label;
}

void NameElement(QWidget* widget, const char* name, int index) {
    widget->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index));
    widget->setProperty("index", index);
}

void MakeBordered(QLabel* label) {
    label->setFrameShape(QFrame::Box);
    label->setFrameShadow(QFrame::Plain);
    label->setLineWidth(1);
}

}  // namespace kestrin
