#pragma once

#include <QtGlobal>
#include <functional>
#include <span>
#include <vector>

class QPoint;
class QRect;
class QWidget;

// Snaps a window to the work-area edges and to the program's other visible windows while it is
// moved or resized. Coordinates are screen pixels.
namespace Docking {

// Right and bottom lie one past the last pixel, so right - left is the width.
struct Rect {
    qint32 left = 0;
    qint32 top = 0;
    qint32 right = 0;
    qint32 bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
    qint32 x = 0;
    qint32 y = 0;
};

enum class Mode { Moving = 1, Sizing = 2 };

// The edge or corner dragged in a sizing step, numbered as the window system does.
namespace SizingEdge {
inline constexpr int Left = 1;
inline constexpr int Right = 2;
inline constexpr int Top = 3;
inline constexpr int TopLeft = 4;
inline constexpr int TopRight = 5;
inline constexpr int Bottom = 6;
inline constexpr int BottomLeft = 7;
inline constexpr int BottomRight = 8;
} // namespace SizingEdge

// An edge snaps when it is closer than this; a target whose span on the other axis is this far
// away or more gives no snap.
inline constexpr qint32 SnapDistance = 15;
inline constexpr qint32 OverlapTolerance = 15;

// A window that runs its own move loop (the notifier: press records the grip, each mouse move
// proposes a rectangle, release ends the move) offers two seams to the docking.
class Dockable {
public:
    virtual ~Dockable() = default;
    // started: the move loop begins, with the cursor in screen pixels.
    // moving: a step proposes the window's new frame rectangle; the hook may adjust it in place.
    virtual void setMoveHooks(std::function<void(Point cursor)> started,
                              std::function<void(Rect& proposed, Point cursor)> moving) = 0;
};

// Hooks a window once; attaching it again adds nothing. A window that is not Dockable has no
// move loop to hook and is left alone.
void AttachDocking(QWidget *window);

// Adjusts a proposed rectangle in place. Mode Moving uses and updates the grip offsets and the
// snapped flags, which carry over from step to step; mode Sizing moves the edges named by the
// edge code and touches nothing else; any other mode changes nothing. targets[0] is the work
// area, the rest are other windows.
void SnapRect(std::span<const Rect> targets, Mode mode, Rect& rect, int edge, qint32& gripX, qint32& gripY,
              bool& snappedX, bool& snappedY, Point cursor);

// Rebuilds the target list for a window about to move: the work area of its screen, then the frame
// of every other visible top-level window of the program, in the order they were first shown.
void CollectSnapTargets(QWidget *window);

// The part of a work area (logical pixels, on a screen whose top-left corner is origin) in which a
// window of that size shows whole. At a fractional scale Qt rounds the screen's device size to
// logical pixels and the window's logical place and size back to device pixels, so a window flush
// with the logical right or bottom edge can have its last device column or row off the screen; the
// edges move in until it cannot. At whole scales the area is the work area itself.
Rect wholeWindowArea(const Rect& area, qint32 width, qint32 height, double scale, Point origin);

// Where a window at rect is seen whole: rect's own place while it lies whole within the areas taken
// together, otherwise the nearest place inside primary. Areas as wholeWindowArea gives them.
Point placeOnScreen(const Rect& rect, std::span<const Rect> areas, const Rect& primary);

// The same for one of the program's windows at a place in logical pixels, over the screens there
// are now: a place left from a larger or a second monitor comes back to the primary screen.
QPoint visiblePlace(const QWidget *window, const QPoint& place);

// What carries from one moving step to the next; the snapped flags also carry from drag to drag.
// Test seam: moveState(), registryView() and resetDockingState() let tests look in and start afresh.
struct MoveState {
    std::vector<Rect> snapTargets;
    qint32 gripX = 0;
    qint32 gripY = 0;
    bool snappedX = false;
    bool snappedY = false;
};
const MoveState& moveState();

// count: windows attached; capacity: highest valid index of the registry.
struct RegistryView {
    qint16 count = 0;
    qint16 capacity = 0;
};
RegistryView registryView();

// Forgets every attached window and the move state; hooks already installed become inert.
void resetDockingState();

Rect fromQRect(const QRect& rect);
QRect toQRect(const Rect& rect);

} // namespace Docking
