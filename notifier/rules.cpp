#include "notifier/rules.h"

namespace notifier {

bool pressStartsDrag(Control pressed, Qt::MouseButton button)
{
    return button == Qt::LeftButton &&
           (pressed == Control::Form || pressed == Control::Label1 || pressed == Control::Label2);
}

bool clickOpensMenu(Control pressed, Control released, Qt::MouseButton button)
{
    if (pressed != released || pressed == Control::Command1)
        return false;
    if (button == Qt::RightButton || button == Qt::MiddleButton)
        return true;
    // Label3 has no press handler: only its margin around the two lines takes a left click.
    return button == Qt::LeftButton && pressed == Control::Label3;
}

QString visibleText(const QString& text)
{
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    while (shown.endsWith(QLatin1Char('\n')))
        shown.chop(1);
    return shown;
}

QString outcomeText(const QDateTime& when, const QString& outcome)
{
    return when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) + QLatin1Char(' ') + outcome;
}

QString messagesText(const QString& count)
{
    return count == QLatin1String("1") ? QStringLiteral("1 message") : count + QStringLiteral(" messages");
}

QString detailText(const QString& text)
{
    constexpr qsizetype kMaxDetail = 120;
    QString clean;
    for (const QChar c : text) {
        if (clean.size() >= kMaxDetail)
            break;
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            clean += c;
        else if (c == QLatin1Char('\t'))
            clean += QLatin1Char(' ');
    }
    return clean.trimmed();
}

Docking::Rect proposedFrame(QPoint cursor, QPoint grip, QSize size)
{
    const QPoint topLeft = cursor - grip;
    return {topLeft.x(), topLeft.y(), topLeft.x() + size.width(), topLeft.y() + size.height()};
}

} // namespace notifier
