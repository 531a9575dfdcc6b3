#pragma once

class QPoint;
class QWidget;

namespace app {

// Window work on X11 that Qt has no API for.

// Keeps a top-level window out of the taskbar and the pager. Qt has no flag for it, and a tool
// window still shows in some taskbars, so on X11 the window's _NET_WM_STATE carries SKIP_TASKBAR
// and SKIP_PAGER from before every mapping on. Call it once, any time before or after the first
// show; elsewhere than on X11 it does nothing.
void keepOutOfTaskbar(QWidget *window);

// Moves a shown top-level window through the window manager alone. QWidget::move() also rewrites
// WM_NORMAL_HINTS, which the window manager answers with new allowed actions: three X events for
// each move. Returns false where it cannot (not X11, not shown, scaled); then move() it.
bool moveNativeWindow(QWidget *window, const QPoint& topLeft);

} // namespace app
