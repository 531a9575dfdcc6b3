#pragma once

class QWidget;

// Window positions and layouts are given in twips (1/1440 inch); the screen's logical DPI decides
// how many twips make a pixel (15 at 96 DPI).
namespace app {

double twipsPerPixelX();
double twipsPerPixelY();
int twipsToPixelsX(double twips);
int twipsToPixelsY(double twips);
// Places a child control by its design rectangle in twips.
void placeTwips(QWidget *widget, int left, int top, int width, int height);
// Fixes a window's client area by its design size in twips.
void sizeTwips(QWidget *window, int width, int height);

} // namespace app
