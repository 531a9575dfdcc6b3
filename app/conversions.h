#pragma once

#include <QString>
#include <optional>

// Conversions between the stored texts and the values the windows hold.
namespace app {

// "True"/"False" in any letter case, or a decimal number (0 is false).
std::optional<bool> textToBool(const QString& text);
QString boolToText(bool value);

// A decimal number, as a position in twips is stored.
std::optional<float> textToSingle(const QString& text);
// Plain decimal text of a single-precision number: no exponent, at most 7 significant digits,
// a fraction only when there is one.
QString singleToText(float value);

// A decimal integer, as a colour value is stored.
std::optional<qint32> textToInteger(const QString& text);

} // namespace app
