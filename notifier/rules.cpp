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

Docking::Rect proposedFrame(QPoint cursor, QPoint grip, QSize size)
{
    const QPoint topLeft = cursor - grip;
    return {topLeft.x(), topLeft.y(), topLeft.x() + size.width(), topLeft.y() + size.height()};
}

} // namespace notifier
