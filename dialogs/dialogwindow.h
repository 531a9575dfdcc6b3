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

// The designer's "ＭＳ Ｐゴシック", or the nearest Japanese font where it isn't installed.
QFont japaneseFont(double pointSize, bool bold = false);

// Title bar with a close box only, no resizing, out of the taskbar, white client area of the given
// size in twips, centred on the screen.
void setUpDialogWindow(QWidget *window, int widthTwips, int heightTwips);
void centreOnScreen(QWidget *window);
// The dialog's and its buttons' fonts; setUpDialogWindow applies them when the dialog is first shown.
void applyDialogFonts(QWidget *window);

// A transparent caption label.
QLabel *addLabel(QWidget *parent, const QString& name, const QString& text, int left, int top, int width,
                 int height);
// A white button in the dialogs' button font. Never a default button: Enter does not press it.
QPushButton *addButton(QWidget *parent, const QString& name, const QString& text, int left, int top,
                       int width, int height);

// A release of the left button over the widget that was pressed: what counts as a label's click.
bool isClick(const QEvent *event, const QWidget *widget);

} // namespace dialogs
