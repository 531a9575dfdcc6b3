#pragma once

#include <QFont>
#include <QString>

class QEvent;
class QLabel;
class QPushButton;
class QWidget;

// What the three option dialogs share: a white, fixed dialog frame centred on the screen, and
// controls placed by their design rectangles in twips.
namespace dialogs {

// The designer's "ＭＳ Ｐゴシック", or the nearest Japanese font where it isn't installed, at the one
// size every caption, label and field of the windows fits in: 10 px at 96 DPI, scaled like the
// layouts in twips. The substitutes (Noto Sans CJK JP) run wider than the designer's 9 pt.
QFont japaneseFont(bool bold = false);

// Title bar with a close box only, no resizing, out of the taskbar, white client area of the given
// size in twips, centred on the screen.
void setUpDialogWindow(QWidget *window, int widthTwips, int heightTwips);
void centreOnScreen(QWidget *window);
// The window's Japanese font; setUpDialogWindow and applyFontsOnFirstShow apply it when the window
// is first shown.
void applyDialogFonts(QWidget *window);
// For a window created hidden at start-up: its font is set at its first show, not before.
void applyFontsOnFirstShow(QWidget *window);

// A transparent caption label.
QLabel *addLabel(QWidget *parent, const QString& name, const QString& text, int left, int top, int width,
                 int height);
// A white button. Never a default button: Enter does not press it.
QPushButton *addButton(QWidget *parent, const QString& name, const QString& text, int left, int top,
                       int width, int height);

// A release of the left button over the widget that was pressed: what counts as a label's click.
bool isClick(const QEvent *event, const QWidget *widget);

} // namespace dialogs
