#include "app/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace app {

static double logicalDpi(bool horizontal)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi =
        screen ? (horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY()) : 96.0;
    return dpi > 0 ? dpi : 96.0;
}

double twipsPerPixelX()
{
    return 1440.0 / logicalDpi(true);
}

double twipsPerPixelY()
{
    return 1440.0 / logicalDpi(false);
}

int twipsToPixelsX(double twips)
{
    return int(std::lround(twips / twipsPerPixelX()));
}

int twipsToPixelsY(double twips)
{
    return int(std::lround(twips / twipsPerPixelY()));
}

void placeTwips(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(twipsToPixelsX(left), twipsToPixelsY(top), twipsToPixelsX(width),
                        twipsToPixelsY(height));
}

void sizeTwips(QWidget *window, int width, int height)
{
    window->setFixedSize(twipsToPixelsX(width), twipsToPixelsY(height));
}

} // namespace app
