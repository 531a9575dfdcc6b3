#include "docking/docking.h"

#include <QApplication>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Docking {

namespace {

// A weak pointer, so that a later window born at a destroyed one's address is not taken for it.
struct SubclassEntry {
    QPointer<QWidget> window;
};

struct Registry {
    std::vector<SubclassEntry> entries;
    qint16 count = 0;
    qint16 capacity = 0;
};

Registry registry;
MoveState state;
bool targetsCollected = false;

// Intermediate sums are 64-bit so that no input can overflow; results are 32-bit screen pixels.
qint32 narrow(qint64 value)
{
    return static_cast<qint32>(value);
}

qint64 distance(qint64 a, qint64 b)
{
    return a > b ? a - b : b - a;
}

bool verticalSpansOverlap(const Rect& n, const Rect& t)
{
    return qint64(n.bottom) + OverlapTolerance > t.top && qint64(n.top) - OverlapTolerance < t.bottom;
}

bool horizontalSpansOverlap(const Rect& n, const Rect& t)
{
    return qint64(n.right) + OverlapTolerance > t.left && qint64(n.left) - OverlapTolerance < t.right;
}

// One axis of a moving step against one target. The first candidate closer than the best so far
// wins, not the closest; only another window can be sat against from outside, the work area aligns
// like edges only. Distances are measured from the proposed position, never from the output.
bool snapAxis(qint32 lo, qint32 hi, qint32 targetLo, qint32 targetHi, bool isWindow, qint64& best,
              qint32& outLo, qint32& outHi)
{
    const qint64 size = qint64(hi) - lo;
    qint64 d;
    if ((d = distance(lo, targetLo)) < best) {
        outLo = targetLo;
        outHi = narrow(targetLo + size);
    } else if (isWindow && (d = distance(lo, targetHi)) < best) {
        outLo = targetHi;
        outHi = narrow(targetHi + size);
    } else if (isWindow && (d = distance(hi, targetLo)) < best) {
        outHi = targetLo;
        outLo = narrow(targetLo - size);
    } else if ((d = distance(hi, targetHi)) < best) {
        outHi = targetHi;
        outLo = narrow(targetHi - size);
    } else {
        return false;
    }
    best = d;
    return true;
}

// Qt's own rounding from logical to device pixels: halves away from zero, as qRound does.
qint64 roundHalfUp(double value)
{
    return value >= 0 ? qint64(value + 0.5) : -qint64(-value + 0.5);
}

// The device value a logical one was rounded from. Several may round to it: one that maps back
// exactly wins (a 1024 px screen at scale 2 is 512 logical px, not 511.5), otherwise the one that
// keeps the window furthest in.
qint64 deviceValue(qint64 logical, double scale, bool higher)
{
    const double exact = double(logical) * scale;
    qint64 best = roundHalfUp(exact);
    bool found = false;
    for (qint64 n = qint64(std::floor(exact - scale)); n <= qint64(std::ceil(exact + scale)); ++n) {
        if (roundHalfUp(double(n) / scale) != logical)
            continue;
        if (std::abs(double(n) - exact) < 1e-6)
            return n;
        if (!found || (higher ? n > best : n < best))
            best = n;
        found = true;
    }
    return best;
}

// One axis of wholeWindowArea: the lowest and the highest logical place of a window of that size
// whose device span lies within the area's.
void wholeSpan(qint64 lo, qint64 hi, qint64 size, double scale, qint64 origin, qint64& first, qint64& last)
{
    const qint64 deviceLo = deviceValue(lo - origin, scale, true) + origin;
    const qint64 deviceHi = deviceLo + deviceValue(hi - lo, scale, false);
    const qint64 deviceSize = roundHalfUp(double(size) * scale);
    const auto device = [&](qint64 place) { return roundHalfUp(double(place - origin) * scale) + origin; };
    // The rounding is off by less than a pixel of either kind, so a few steps always do.
    const int steps = 2 + int(std::ceil(scale));
    first = lo;
    for (int i = 0; i < steps && device(first) < deviceLo; ++i)
        ++first;
    last = hi - size;
    for (int i = 0; i < steps && last > first && device(last) + deviceSize > deviceHi; ++i)
        --last;
    last = std::max(last, first);
}

// The registry's 16-bit count and capacity stop growing rather than wrap.
void growRegistry()
{
    constexpr qint32 limit = std::numeric_limits<qint16>::max();
    const qint32 wanted = std::min<qint32>(qint32(registry.count) + 10, limit);
    if (wanted > registry.capacity) {
        registry.capacity = qint16(wanted);
        registry.entries.resize(size_t(registry.capacity) + 1);
    }
}

bool isAttached(const QWidget *window)
{
    if (!window)
        return false;
    for (qint16 i = 0; i < registry.count; ++i) {
        if (registry.entries[size_t(i)].window == window)
            return true;
    }
    return false;
}

void moveStarted(QWidget *window, Point cursor)
{
    if (!isAttached(window))
        return;
    const Rect frame = fromQRect(window->frameGeometry());
    state.gripX = narrow(qint64(cursor.x) - frame.left);
    state.gripY = narrow(qint64(cursor.y) - frame.top);
    CollectSnapTargets(window);
}

void moveStep(QWidget *window, Rect& proposed, Point cursor)
{
    if (!isAttached(window))
        return;
    // A step without a start still gets its targets, once, rather than never snapping.
    if (!targetsCollected)
        CollectSnapTargets(window);
    SnapRect(state.snapTargets, Mode::Moving, proposed, 0, state.gripX, state.gripY, state.snappedX,
             state.snappedY, cursor);
}

void snapMoving(std::span<const Rect> targets, Rect& rect, qint32& gripX, qint32& gripY, bool& snappedX,
                bool& snappedY, Point cursor)
{
    Rect n = rect;
    // While snapped, the position comes from the cursor and the grip, so that leaving the snap puts
    // the window back under the point where the user took it.
    if (snappedX) {
        const qint64 shift = qint64(cursor.x) - n.left - gripX;
        n.left = narrow(n.left + shift);
        n.right = narrow(n.right + shift);
    } else {
        gripX = narrow(qint64(cursor.x) - n.left);
    }
    if (snappedY) {
        const qint64 shift = qint64(cursor.y) - n.top - gripY;
        n.top = narrow(n.top + shift);
        n.bottom = narrow(n.bottom + shift);
    } else {
        gripY = narrow(qint64(cursor.y) - n.top);
    }
    Rect o = n;
    qint64 bestX = SnapDistance;
    qint64 bestY = SnapDistance;
    bool snapX = false;
    bool snapY = false;
    for (size_t i = 0; i < targets.size(); ++i) {
        const Rect& t = targets[i];
        const bool isWindow = i > 0;
        if (verticalSpansOverlap(n, t) &&
            snapAxis(n.left, n.right, t.left, t.right, isWindow, bestX, o.left, o.right))
            snapX = true;
        if (horizontalSpansOverlap(n, t) &&
            snapAxis(n.top, n.bottom, t.top, t.bottom, isWindow, bestY, o.top, o.bottom))
            snapY = true;
    }
    snappedX = snapX;
    snappedY = snapY;
    rect = o;
}

void snapSizing(std::span<const Rect> targets, Rect& rect, int edge)
{
    const bool leftEdge =
        edge == SizingEdge::Left || edge == SizingEdge::TopLeft || edge == SizingEdge::BottomLeft;
    const bool topEdge =
        edge == SizingEdge::Top || edge == SizingEdge::TopLeft || edge == SizingEdge::TopRight;
    // An axis with no dragged edge still tests its far edge: dragging the top can snap the right edge.
    const qint32 x = leftEdge ? rect.left : rect.right;
    const qint32 y = topEdge ? rect.top : rect.bottom;
    const Rect n = rect;

    qint64 bestX = SnapDistance;
    qint64 bestY = SnapDistance;
    qint32 newX = x;
    qint32 newY = y;
    for (const Rect& t : targets) {
        if (verticalSpansOverlap(n, t)) {
            if (distance(x, t.left) < bestX) {
                newX = t.left;
                bestX = distance(x, t.left);
            } else if (distance(x, t.right) < bestX) {
                newX = t.right;
                bestX = distance(x, t.right);
            }
        }
        if (horizontalSpansOverlap(n, t)) {
            if (distance(y, t.top) < bestY) {
                newY = t.top;
                bestY = distance(y, t.top);
            } else if (distance(y, t.bottom) < bestY) {
                newY = t.bottom;
                bestY = distance(y, t.bottom);
            }
        }
    }
    (leftEdge ? rect.left : rect.right) = newX;
    (topEdge ? rect.top : rect.bottom) = newY;
}

} // namespace

void AttachDocking(QWidget *window)
{
    if (!window)
        return;
    growRegistry();
    if (isAttached(window))
        return;
    auto *dockable = dynamic_cast<Dockable *>(window);
    if (!dockable || registry.count == std::numeric_limits<qint16>::max())
        return;
    registry.entries[size_t(registry.count)].window = window;
    ++registry.count;
    const QPointer<QWidget> guarded(window);
    dockable->setMoveHooks(
        [guarded](Point cursor) {
            if (guarded)
                moveStarted(guarded, cursor);
        },
        [guarded](Rect& proposed, Point cursor) {
            if (guarded)
                moveStep(guarded, proposed, cursor);
        });
}

void SnapRect(std::span<const Rect> targets, Mode mode, Rect& rect, int edge, qint32& gripX, qint32& gripY,
              bool& snappedX, bool& snappedY, Point cursor)
{
    switch (mode) {
    case Mode::Moving:
        snapMoving(targets, rect, gripX, gripY, snappedX, snappedY, cursor);
        break;
    case Mode::Sizing:
        snapSizing(targets, rect, edge);
        break;
    default:
        break;
    }
}

void CollectSnapTargets(QWidget *window)
{
    state.snapTargets.clear();
    targetsCollected = true;
    QScreen *screen = window ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QSize size = window ? window->frameGeometry().size() : QSize();
    state.snapTargets.push_back(wholeWindowArea(fromQRect(screen->availableGeometry()), size.width(),
                                                size.height(), screen->devicePixelRatio(),
                                                {screen->geometry().x(), screen->geometry().y()}));

    // Qt's list of top-level windows runs in the order the windows were first shown; the order only
    // decides ties between windows at equal distance.
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (const QWindow *handle : QGuiApplication::topLevelWindows()) {
        for (QWidget *other : widgets) {
            if (other->windowHandle() != handle || other == window || !other->isWindow() ||
                !other->isVisible())
                continue;
            // Tooltips and open popups are passing decorations, not windows to dock against.
            const Qt::WindowType type = other->windowType();
            if (type == Qt::ToolTip || type == Qt::Popup)
                continue;
            state.snapTargets.push_back(fromQRect(other->frameGeometry()));
        }
    }
}

Rect wholeWindowArea(const Rect& area, qint32 width, qint32 height, double scale, Point origin)
{
    if (!(scale > 0) || scale == 1.0)
        return area;
    qint64 left = 0, right = 0, top = 0, bottom = 0;
    wholeSpan(area.left, area.right, width, scale, origin.x, left, right);
    wholeSpan(area.top, area.bottom, height, scale, origin.y, top, bottom);
    return {narrow(left), narrow(top), narrow(right + width), narrow(bottom + height)};
}

Point placeOnScreen(const Rect& rect, std::span<const Rect> areas, const Rect& primary)
{
    QRegion uncovered(toQRect(rect));
    for (const Rect& area : areas)
        uncovered -= QRegion(toQRect(area));
    if (uncovered.isEmpty())
        return {rect.left, rect.top};
    const qint64 width = qint64(rect.right) - rect.left;
    const qint64 height = qint64(rect.bottom) - rect.top;
    // A window larger than the area keeps its top-left corner on it.
    const auto nearest = [](qint64 value, qint64 lo, qint64 hi) { return std::max(lo, std::min(value, hi)); };
    return {narrow(nearest(rect.left, primary.left, std::max<qint64>(primary.left, primary.right - width))),
            narrow(nearest(rect.top, primary.top, std::max<qint64>(primary.top, primary.bottom - height)))};
}

QPoint visiblePlace(const QWidget *window, const QPoint& place)
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!window || !primary)
        return place;
    const QSize size = window->frameGeometry().size();
    const auto areaOf = [&size](const QScreen *screen) {
        return wholeWindowArea(fromQRect(screen->availableGeometry()), size.width(), size.height(),
                               screen->devicePixelRatio(), {screen->geometry().x(), screen->geometry().y()});
    };
    std::vector<Rect> areas;
    for (const QScreen *screen : QGuiApplication::screens())
        areas.push_back(areaOf(screen));
    const Point at = placeOnScreen(fromQRect(QRect(place, size)), areas, areaOf(primary));
    return {at.x, at.y};
}

const MoveState& moveState()
{
    return state;
}

RegistryView registryView()
{
    return {registry.count, registry.capacity};
}

void resetDockingState()
{
    registry = {};
    state = {};
    targetsCollected = false;
}

Rect fromQRect(const QRect& rect)
{
    return {rect.x(), rect.y(), narrow(qint64(rect.x()) + rect.width()),
            narrow(qint64(rect.y()) + rect.height())};
}

QRect toQRect(const Rect& rect)
{
    return QRect(rect.left, rect.top, narrow(qint64(rect.right) - rect.left),
                 narrow(qint64(rect.bottom) - rect.top));
}

} // namespace Docking
