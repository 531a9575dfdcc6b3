#include "app/conversions.h"

#include <QLocale>
#include <cmath>

namespace app {

std::optional<bool> textToBool(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number != 0.0;
}

QString boolToText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

std::optional<float> textToSingle(const QString& text)
{
    bool ok = false;
    const double number = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(number) || std::fabs(number) > 3.4e38)
        return std::nullopt;
    return static_cast<float>(number);
}

QString singleToText(float value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    const double v = value;
    const int intDigits = v == 0.0 ? 1 : std::max(1, int(std::floor(std::log10(std::fabs(v)))) + 1);
    const int decimals = std::max(0, 7 - intDigits);
    QString text = QLocale::c().toString(v, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (decimals == 0 && intDigits > 7) {
        // Keep 7 significant digits, as a single-precision value prints.
        const double scale = std::pow(10.0, intDigits - 7);
        text = QLocale::c().toString(std::round(v / scale) * scale, 'f', 0);
    }
    text.remove(QLatin1Char(','));
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

std::optional<qint32> textToInteger(const QString& text)
{
    bool ok = false;
    const qint32 number = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return number;
}

} // namespace app
