#include "notifier/look.h"

#include "notifier/rules.h"

#include <QLinearGradient>
#include <QPainter>

namespace notifier {

QImage bezelImage()
{
    QImage image(121, 37, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient metal(0, 0, 0, 37);
    metal.setColorAt(0.0, QColor(0xe6, 0xe7, 0xe8));
    metal.setColorAt(0.45, QColor(0xc6, 0xc8, 0xca));
    metal.setColorAt(0.55, QColor(0xb4, 0xb6, 0xb8));
    metal.setColorAt(1.0, QColor(0xd0, 0xd1, 0xd2));
    p.fillRect(image.rect(), metal);

    // Raised outer edge: light on the top and left, shadow on the bottom and right.
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(0, 0, 120, 36);
    p.setPen(QColor(0xf4, 0xf4, 0xf4));
    p.drawLine(1, 1, 119, 1);
    p.drawLine(1, 1, 1, 35);
    p.setPen(QColor(0xa0, 0xa2, 0xa4));
    p.drawLine(1, 35, 119, 35);
    p.drawLine(119, 1, 119, 35);

    // Sunken well: dark inner border around the white field that the panel covers.
    p.setPen(QColor(0x9a, 0x9c, 0x9e));
    p.drawLine(4, 2, 115, 2);
    p.drawLine(4, 2, 4, 33);
    p.setPen(QColor(0xfa, 0xfa, 0xfa));
    p.drawLine(4, 34, 116, 34);
    p.drawLine(116, 2, 116, 34);
    p.setPen(QColor(0x40, 0x40, 0x44));
    p.drawRect(5, 3, 110, 30);
    p.fillRect(6, 4, 109, 29, Qt::white);
    return image;
}

QFont lineFont()
{
    QFont font;
    // DejaVu Sans and Bitstream Vera share Verdana's wide, open letter shapes and widths.
    font.setFamilies(
        {QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"), QStringLiteral("Bitstream Vera Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(6);
    font.setBold(true);
    return font;
}

void LineLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignTop, visibleText(text()));
}

} // namespace notifier
