#include "ControlFace.h"

#include "Twips.h"

#include <QPainter>

using namespace Qt::StringLiterals;

namespace kestrel {

ControlFace::ControlFace(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"corvafax"_s);
    // A fixed size turns every resize by the host back into the square.
    setFixedSize(sidePixels(), sidePixels());
}

int ControlFace::sidePixels() const
{
    return twipsToPixels(SizeTwips, logicalDpiX());
}

void ControlFace::paintEvent(QPaintEvent*)
{
    // A 48 x 48 fax machine: body, paper, keypad.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate((width() - 48) / 2.0, (height() - 48) / 2.0);
    painter.setPen(QPen(QColor(40, 40, 60), 1.5));
    painter.setBrush(QColor(245, 245, 250));
    painter.drawRect(QRectF(14, 4, 20, 18));
    painter.setBrush(QColor(70, 110, 170));
    painter.drawRoundedRect(QRectF(4, 18, 40, 24), 4, 4);
    painter.setBrush(QColor(230, 230, 235));
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 3; ++col)
            painter.drawRect(QRectF(24 + col * 6, 24 + row * 7, 4, 4));
    }
    painter.drawRect(QRectF(8, 24, 12, 12));
}

} // namespace kestrel
