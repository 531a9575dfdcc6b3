#include "app/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
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

// Far beyond any screen, but safely inside int: a hand-edited position must not wrap around.
static int clampedPixels(double pixels)
{
    constexpr double kLimit = 1000000.0;
    if (!(pixels == pixels))
        return 0;
    return int(std::lround(std::clamp(pixels, -kLimit, kLimit)));
}

int twipsToPixelsX(double twips)
{
    return clampedPixels(twips / twipsPerPixelX());
}

int twipsToPixelsY(double twips)
{
    return clampedPixels(twips / twipsPerPixelY());
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
