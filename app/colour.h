#pragma once

#include <QColor>
#include <QString>
#include <optional>

class QWidget;

// Colour values are 24-bit integers with red in the low byte: red + 256 * green + 65536 * blue.
namespace app {

QColor colourFromValue(qint32 value);
qint32 valueFromColour(const QColor& colour);
// The integer a colour field holds, or nothing when its text is not a decimal integer.
std::optional<QColor> colourFromText(const QString& text);

void setForeColour(QWidget *widget, const QColor& colour);
void setBackColour(QWidget *widget, const QColor& colour);
QColor foreColour(const QWidget *widget);
QColor backColour(const QWidget *widget);
// Applies a colour field's text; a text that does not convert leaves the widget as it is.
bool setForeColourText(QWidget *widget, const QString& text);
bool setBackColourText(QWidget *widget, const QString& text);

} // namespace app
