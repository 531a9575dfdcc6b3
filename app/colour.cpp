#include "app/colour.h"

#include "app/conversions.h"

#include <QPalette>
#include <QWidget>

namespace app {

QColor colourFromValue(qint32 value)
{
    const quint32 v = quint32(value) & 0xFFFFFFu;
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

qint32 valueFromColour(const QColor& colour)
{
    return colour.red() + 256 * colour.green() + 65536 * colour.blue();
}

std::optional<QColor> colourFromText(const QString& text)
{
    const auto value = textToInteger(text);
    if (!value)
        return std::nullopt;
    return colourFromValue(*value);
}

void setForeColour(QWidget *widget, const QColor& colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::ButtonText, colour);
    p.setColor(QPalette::Text, colour);
    widget->setPalette(p);
}

void setBackColour(QWidget *widget, const QColor& colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::Button, colour);
    p.setColor(QPalette::Base, colour);
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

QColor foreColour(const QWidget *widget)
{
    return widget->palette().color(QPalette::WindowText);
}

QColor backColour(const QWidget *widget)
{
    return widget->palette().color(QPalette::Window);
}

bool setForeColourText(QWidget *widget, const QString& text)
{
    const auto colour = colourFromText(text);
    if (colour)
        setForeColour(widget, *colour);
    return colour.has_value();
}

bool setBackColourText(QWidget *widget, const QString& text)
{
    const auto colour = colourFromText(text);
    if (colour)
        setBackColour(widget, *colour);
    return colour.has_value();
}

} // namespace app
