#pragma once

#include <memory>

class QAbstractNativeEventFilter;
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

// While it lives, drops the window manager's answers to the moves of one top-level window. Qt takes
// each answer for news: it asks the X server for the window's frame again (round trips that block)
// and delivers a move event for a place already left. For a run of native moves that is most of the
// cost. Answers that change the size still go through. Qt's idea of the place stays the one from
// before; end the run where it began, or move() the window afterwards.
class MoveEchoGuard {
public:
    explicit MoveEchoGuard(QWidget *window);
    ~MoveEchoGuard();
    MoveEchoGuard(const MoveEchoGuard&) = delete;
    MoveEchoGuard& operator=(const MoveEchoGuard&) = delete;

private:
    std::unique_ptr<QAbstractNativeEventFilter> m_filter;
};

} // namespace app
