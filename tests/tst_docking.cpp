#include "docking/docking.h"
#include "support/reset.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <memory>

using namespace Docking;

Q_DECLARE_METATYPE(Docking::Rect)
Q_DECLARE_METATYPE(Docking::Point)

namespace Docking {
char *toString(const Rect& r)
{
    return qstrdup(QByteArray::number(r.left) + ',' + QByteArray::number(r.top) + " - " +
                   QByteArray::number(r.right) + ',' + QByteArray::number(r.bottom));
}
} // namespace Docking

namespace {

const Rect workArea{0, 0, 1000, 700};

Rect at(qint32 x, qint32 y, qint32 w = 100, qint32 h = 40)
{
    return {x, y, x + w, y + h};
}

std::span<const Rect> span(const QList<Rect>& list)
{
    return {list.constData(), size_t(list.size())};
}

// Stands in for the notifier: a frameless top-level window with its own move loop.
class FakeWindow : public QWidget, public Dockable {
public:
    explicit FakeWindow(const QRect& geometry)
    {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        setGeometry(geometry);
    }
    void setMoveHooks(std::function<void(Point)> s, std::function<void(Rect&, Point)> m) override
    {
        started = std::move(s);
        moving = std::move(m);
        ++hookInstalls;
    }
    std::function<void(Point)> started;
    std::function<void(Rect&, Point)> moving;
    int hookInstalls = 0;
};

} // namespace

class TestDocking : public QObject {
    Q_OBJECT

private slots:
    void init() { testsupport::resetProgram(); }

    void movingStep_data();
    void movingStep();
    void gripAfterSnap_data();
    void gripAfterSnap();
    void unknownModeChangesNothing();
    void sizingStep_data();
    void sizingStep();
    void registryGrowth_data();
    void registryGrowth();
    void destroyedWindowDoesNotShadowANewOne();
    void collectSkipsHiddenAndMovingWindows();
    void hooksSnapWithTargetsFixedAtTheStart();
    void hooksAfterResetAndWithoutAStart();
    void wholeWindowArea_data();
    void wholeWindowArea();
    void placeOnScreen_data();
    void placeOnScreen();
};

void TestDocking::movingStep_data()
{
    QTest::addColumn<QList<Rect>>("targets");
    QTest::addColumn<Rect>("proposed");
    QTest::addColumn<Rect>("expected");
    QTest::addColumn<bool>("snapX");
    QTest::addColumn<bool>("snapY");

    const QList<Rect> wa{workArea};
    const Rect win{200, 100, 300, 200};
    QTest::newRow("left 14 inside work area") << wa << at(14, 300) << at(0, 300) << true << false;
    QTest::newRow("left 15 inside work area") << wa << at(15, 300) << at(15, 300) << false << false;
    QTest::newRow("left 14 outside work area") << wa << at(-14, 300) << at(0, 300) << true << false;
    QTest::newRow("left 15 outside work area") << wa << at(-15, 300) << at(-15, 300) << false << false;
    QTest::newRow("right 14 inside work area") << wa << at(886, 300) << at(900, 300) << true << false;
    QTest::newRow("top 14 inside work area") << wa << at(400, 14) << at(400, 0) << false << true;
    QTest::newRow("bottom 14 outside work area") << wa << at(400, 674) << at(400, 660) << false << true;
    QTest::newRow("work-area corner") << wa << at(10, -5) << at(0, 0) << true << true;
    QTest::newRow("left beside work-area right") << wa << at(1005, 300) << at(1005, 300) << false << false;

    const QList<Rect> waWin{workArea, win};
    QTest::newRow("left flush on window right") << waWin << at(310, 120) << at(300, 120) << true << false;
    QTest::newRow("right flush on window left") << waWin << at(92, 120) << at(100, 120) << true << false;
    QTest::newRow("top flush on window bottom") << waWin << at(220, 210) << at(220, 200) << false << true;
    QTest::newRow("bottom flush on window top") << waWin << at(220, 55) << at(220, 60) << false << true;

    const Rect nearer{410, 100, 510, 200};
    QTest::newRow("nearer edge of a later window wins")
        << QList<Rect>{workArea, win, nearer} << at(309, 120) << at(310, 120) << true << false;
    QTest::newRow("equal distance: earlier window keeps it")
        << QList<Rect>{workArea, win, Rect{414, 100, 514, 200}} << at(307, 120) << at(300, 120) << true
        << false;
    const Rect leftAt20{20, 300, 120, 400};
    QTest::newRow("equal distance: work area keeps it")
        << QList<Rect>{workArea, leftAt20} << at(10, 320) << at(0, 320) << true << false;
    QTest::newRow("window nearer than work area")
        << QList<Rect>{workArea, Rect{16, 300, 116, 400}} << at(10, 320) << at(16, 320) << true << false;

    // Width 14: left-left is 12 away, right-left only 2, yet left-left comes first.
    QTest::newRow("first candidate of a target wins")
        << waWin << Rect{188, 120, 202, 160} << Rect{200, 120, 214, 160} << true << false;
    QTest::newRow("later candidate when the first is not below the best")
        << QList<Rect>{workArea, Rect{100, 100, 178, 200}, win} << Rect{188, 120, 202, 160}
        << Rect{186, 120, 200, 160} << true << false;

    QTest::newRow("target 14 below can snap")
        << QList<Rect>{workArea, Rect{200, 174, 300, 274}} << at(309, 120) << at(300, 134) << true << true;
    QTest::newRow("target 15 below cannot")
        << QList<Rect>{workArea, Rect{200, 175, 300, 275}} << at(309, 120) << at(309, 120) << false << false;
    QTest::newRow("target 14 above can snap")
        << QList<Rect>{workArea, Rect{200, 6, 300, 106}} << at(309, 120) << at(300, 106) << true << true;
    QTest::newRow("target 15 above cannot")
        << QList<Rect>{workArea, Rect{200, 5, 300, 105}} << at(309, 120) << at(309, 120) << false << false;
    QTest::newRow("target 14 to the right can snap vertically")
        << waWin << at(314, 205) << at(300, 200) << true << true;
    QTest::newRow("target 15 to the right cannot") << waWin << at(315, 205) << at(315, 205) << false << false;

    QTest::newRow("beyond 16-bit coordinates") << QList<Rect>{workArea, Rect{40000, 100, 40100, 200}}
                                               << at(40105, 120) << at(40100, 120) << true << false;
    QTest::newRow("no targets") << QList<Rect>{} << at(5, 5) << at(5, 5) << false << false;
}

void TestDocking::movingStep()
{
    QFETCH(QList<Rect>, targets);
    QFETCH(Rect, proposed);
    QFETCH(Rect, expected);
    QFETCH(bool, snapX);
    QFETCH(bool, snapY);

    const Point cursor{proposed.left + 7, proposed.top + 3};
    qint32 gripX = -1, gripY = -1;
    bool snappedX = false, snappedY = false;
    Rect rect = proposed;
    SnapRect(span(targets), Mode::Moving, rect, 0, gripX, gripY, snappedX, snappedY, cursor);
    QCOMPARE(rect, expected);
    QCOMPARE(snappedX, snapX);
    QCOMPARE(snappedY, snapY);
    QCOMPARE(gripX, 7);
    QCOMPARE(gripY, 3);
}

// Drives steps the way the notifier does: each proposal is the current frame moved by the cursor's
// travel since the last step. The window is taken 10,20 from its top-left at (100, 300).
void TestDocking::gripAfterSnap_data()
{
    QTest::addColumn<QList<Point>>("cursors");
    QTest::addColumn<QList<Point>>("topLefts");

    QTest::newRow("held on the edge up to 14, then back under the cursor")
        << QList<Point>{{20, 320}, {24, 320}, {25, 320}, {30, 320}}
        << QList<Point>{{0, 300}, {0, 300}, {15, 300}, {20, 300}};
    QTest::newRow("back toward the edge while held")
        << QList<Point>{{18, 320}, {12, 320}, {40, 320}} << QList<Point>{{0, 300}, {0, 300}, {30, 300}};
    QTest::newRow("vertical axis alike")
        << QList<Point>{{110, 30}, {110, 34}, {110, 35}} << QList<Point>{{100, 0}, {100, 0}, {100, 15}};
    QTest::newRow("edge left on the far side")
        << QList<Point>{{5, 320}, {-4, 320}, {-5, 320}} << QList<Point>{{0, 300}, {0, 300}, {-15, 300}};
}

void TestDocking::gripAfterSnap()
{
    QFETCH(QList<Point>, cursors);
    QFETCH(QList<Point>, topLefts);

    const QList<Rect> targets{workArea};
    Rect frame = at(100, 300);
    Point last{110, 320};
    qint32 gripX = 0, gripY = 0;
    bool snappedX = false, snappedY = false;
    for (qsizetype i = 0; i < cursors.size(); ++i) {
        const Point c = cursors[i];
        Rect proposed{frame.left + c.x - last.x, frame.top + c.y - last.y, frame.right + c.x - last.x,
                      frame.bottom + c.y - last.y};
        SnapRect(span(targets), Mode::Moving, proposed, 0, gripX, gripY, snappedX, snappedY, c);
        frame = proposed;
        last = c;
        QCOMPARE(frame, at(topLefts[i].x, topLefts[i].y));
    }
}

void TestDocking::unknownModeChangesNothing()
{
    const QList<Rect> targets{workArea};
    for (int mode : {0, 3}) {
        Rect rect = at(5, 5);
        qint32 gripX = 4, gripY = 6;
        bool snappedX = true, snappedY = false;
        SnapRect(span(targets), Mode(mode), rect, SizingEdge::TopLeft, gripX, gripY, snappedX, snappedY,
                 Point{50, 50});
        QCOMPARE(rect, at(5, 5));
        QCOMPARE(gripX, 4);
        QCOMPARE(gripY, 6);
        QVERIFY(snappedX);
        QVERIFY(!snappedY);
    }
}

void TestDocking::sizingStep_data()
{
    QTest::addColumn<QList<Rect>>("targets");
    QTest::addColumn<Rect>("proposed");
    QTest::addColumn<int>("edge");
    QTest::addColumn<Rect>("expected");

    using namespace SizingEdge;
    const QList<Rect> wa{workArea};
    const QList<Rect> waWin{workArea, Rect{200, 250, 300, 400}};
    QTest::newRow("right 14 from work-area right")
        << wa << Rect{400, 300, 986, 340} << Right << Rect{400, 300, 1000, 340};
    QTest::newRow("right 15 from work-area right")
        << wa << Rect{400, 300, 985, 340} << Right << Rect{400, 300, 985, 340};
    QTest::newRow("left onto a window's right")
        << waWin << Rect{310, 300, 500, 340} << Left << Rect{300, 300, 500, 340};
    QTest::newRow("left-left before a nearer left-right")
        << QList<Rect>{workArea, Rect{300, 250, 312, 400}} << Rect{310, 300, 500, 340} << Left
        << Rect{300, 300, 500, 340};
    QTest::newRow("top dragged, right still snaps")
        << wa << Rect{400, 10, 990, 340} << Top << Rect{400, 0, 1000, 340};
    QTest::newRow("bottom dragged, right still snaps")
        << wa << Rect{400, 300, 992, 690} << Bottom << Rect{400, 300, 1000, 700};
    QTest::newRow("left dragged, bottom still snaps")
        << wa << Rect{5, 300, 500, 695} << Left << Rect{0, 300, 500, 700};
    QTest::newRow("right dragged, bottom still snaps")
        << wa << Rect{400, 300, 995, 690} << Right << Rect{400, 300, 1000, 700};
    QTest::newRow("top-left corner") << wa << Rect{8, 9, 500, 340} << TopLeft << Rect{0, 0, 500, 340};
    QTest::newRow("bottom-right corner 15 away")
        << wa << Rect{400, 300, 985, 685} << BottomRight << Rect{400, 300, 985, 685};
    QTest::newRow("target 14 below can snap") << QList<Rect>{workArea, Rect{200, 354, 300, 400}}
                                              << Rect{310, 300, 500, 340} << Left << Rect{300, 300, 500, 354};
    QTest::newRow("target 15 below cannot") << QList<Rect>{workArea, Rect{200, 355, 300, 400}}
                                            << Rect{310, 300, 500, 340} << Left << Rect{310, 300, 500, 340};
    QTest::newRow("beyond 16-bit coordinates")
        << QList<Rect>{workArea, Rect{40000, 0, 41000, 700}} << Rect{39000, 300, 40010, 340} << Right
        << Rect{39000, 300, 40000, 340};
}

void TestDocking::sizingStep()
{
    QFETCH(QList<Rect>, targets);
    QFETCH(Rect, proposed);
    QFETCH(int, edge);
    QFETCH(Rect, expected);

    qint32 gripX = 3, gripY = 4;
    bool snappedX = true, snappedY = false;
    SnapRect(span(targets), Mode::Sizing, proposed, edge, gripX, gripY, snappedX, snappedY, Point{0, 0});
    QCOMPARE(proposed, expected);
    QCOMPARE(gripX, 3);
    QCOMPARE(gripY, 4);
    QVERIFY(snappedX);
    QVERIFY(!snappedY);
}

void TestDocking::registryGrowth_data()
{
    QTest::addColumn<QList<int>>("attaches"); // indices of the windows below; -1 is a plain QWidget
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QList<int>>("hookInstalls");

    QTest::newRow("one window") << QList<int>{0} << 1 << 10 << QList<int>{1, 0, 0};
    QTest::newRow("same window twice") << QList<int>{0, 0} << 1 << 11 << QList<int>{1, 0, 0};
    QTest::newRow("three windows") << QList<int>{0, 1, 2} << 3 << 12 << QList<int>{1, 1, 1};
    QTest::newRow("a repeat still grows") << QList<int>{0, 1, 0} << 2 << 12 << QList<int>{1, 1, 0};
    QTest::newRow("window without a move loop") << QList<int>{-1} << 0 << 10 << QList<int>{0, 0, 0};
}

void TestDocking::registryGrowth()
{
    QFETCH(QList<int>, attaches);
    QFETCH(int, count);
    QFETCH(int, capacity);
    QFETCH(QList<int>, hookInstalls);

    FakeWindow windows[3]{FakeWindow(QRect(0, 0, 10, 10)), FakeWindow(QRect(0, 0, 10, 10)),
                          FakeWindow(QRect(0, 0, 10, 10))};
    QWidget plain;
    for (int i : attaches)
        AttachDocking(i < 0 ? &plain : static_cast<QWidget *>(&windows[i]));
    QCOMPARE(registryView().count, count);
    QCOMPARE(registryView().capacity, capacity);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(windows[i].hookInstalls, hookInstalls[i]);
}

void TestDocking::destroyedWindowDoesNotShadowANewOne()
{
    // The new window is likely to be born at the old one's address.
    auto first = std::make_unique<FakeWindow>(QRect(0, 0, 10, 10));
    AttachDocking(first.get());
    first.reset();
    auto second = std::make_unique<FakeWindow>(QRect(0, 0, 10, 10));
    AttachDocking(second.get());
    QCOMPARE(second->hookInstalls, 1);
    QCOMPARE(registryView().count, 2);
}

void TestDocking::collectSkipsHiddenAndMovingWindows()
{
    FakeWindow moving(QRect(50, 50, 121, 37));
    FakeWindow first(QRect(300, 100, 100, 80));
    FakeWindow hidden(QRect(100, 300, 100, 80));
    FakeWindow shownFirst(QRect(500, 300, 120, 60));
    FakeWindow neverShown(QRect(600, 400, 50, 50));
    moving.show();
    shownFirst.show();
    hidden.show();
    first.show();
    hidden.hide();

    CollectSnapTargets(&moving);
    const Rect area = fromQRect(moving.screen()->availableGeometry());
    // In the order the windows were first shown, not the order they were built.
    QCOMPARE(moveState().snapTargets, (std::vector<Rect>{area, fromQRect(shownFirst.frameGeometry()),
                                                         fromQRect(first.frameGeometry())}));

    shownFirst.hide();
    CollectSnapTargets(&first);
    QCOMPARE(moveState().snapTargets, (std::vector<Rect>{area, fromQRect(moving.frameGeometry())}));
}

void TestDocking::hooksSnapWithTargetsFixedAtTheStart()
{
    FakeWindow notifier(QRect(100, 130, 121, 37));
    FakeWindow other(QRect(300, 100, 100, 100));
    notifier.show();
    other.show();
    AttachDocking(&notifier);
    QVERIFY(notifier.started && notifier.moving);

    const Rect otherFrame = fromQRect(other.frameGeometry());
    const Rect frame = fromQRect(notifier.frameGeometry());
    const Point grip{5, 5};
    notifier.started(Point{frame.left + grip.x, frame.top + grip.y});
    QCOMPARE(moveState().gripX, 5);
    QCOMPARE(moveState().snapTargets.size(), size_t(2));

    // 10 px right of the other window: pulled flush against it.
    const qint32 width = frame.right - frame.left;
    Rect proposed{otherFrame.right + 10, frame.top, otherFrame.right + 10 + width, frame.bottom};
    notifier.moving(proposed, Point{proposed.left + grip.x, proposed.top + grip.y});
    QCOMPARE(proposed.left, otherFrame.right);
    QCOMPARE(proposed.right, otherFrame.right + width);
    QVERIFY(moveState().snappedX);

    // The other window moves during the loop; its new place is not noticed until the next start.
    other.move(600, 100);
    const Rect moved = fromQRect(other.frameGeometry());
    Rect next{moved.right + 10, frame.top, moved.right + 10 + width, frame.bottom};
    const Rect unchanged = next;
    notifier.moving(next, Point{next.left + grip.x, next.top + grip.y});
    QCOMPARE(next, unchanged);

    notifier.started(Point{frame.left + grip.x, frame.top + grip.y});
    QCOMPARE(moveState().snapTargets.back(), moved);
}

void TestDocking::hooksAfterResetAndWithoutAStart()
{
    FakeWindow notifier(QRect(100, 130, 121, 37));
    notifier.show();
    AttachDocking(&notifier);
    const auto staleMoving = notifier.moving;
    resetDockingState();

    // Hooks from before the reset belong to no attached window and leave the rectangle alone.
    const Rect area = fromQRect(notifier.screen()->availableGeometry());
    const Rect nearLeft{area.left + 5, 130, area.left + 126, 167};
    Rect rect = nearLeft;
    staleMoving(rect, Point{rect.left + 5, rect.top + 5});
    QCOMPARE(rect, nearLeft);

    // A step with no start collects the targets itself.
    AttachDocking(&notifier);
    QCOMPARE(notifier.hookInstalls, 2);
    notifier.moving(rect, Point{rect.left + 5, rect.top + 5});
    QCOMPARE(rect.left, area.left);
    QCOMPARE(moveState().snapTargets.front(), area);
}

void TestDocking::wholeWindowArea_data()
{
    QTest::addColumn<Rect>("area");
    QTest::addColumn<double>("scale");
    QTest::addColumn<Point>("origin");
    QTest::addColumn<Rect>("expected");
    // Work areas as Qt gives them in logical pixels; the notifier is 121 x 37 logical pixels, 182 x 56
    // device pixels at 1.5.
    const Rect vga{0, 0, 1024, 768};
    QTest::newRow("scale 1: the work area") << vga << 1.0 << Point{} << vga;
    QTest::newRow("scale 2: whole device pixels")
        << Rect{0, 0, 512, 384} << 2.0 << Point{} << Rect{0, 0, 512, 384};
    // 1024 / 1.5 rounds up to 683: flush at 562 the window would end at device column 1025.
    QTest::newRow("1.5, 1024 x 768") << Rect{0, 0, 683, 512} << 1.5 << Point{} << Rect{0, 0, 682, 511};
    // 1280 x 720 exactly, but the window's own place rounds up by half a pixel.
    QTest::newRow("1.5, 1920 x 1080") << Rect{0, 0, 1280, 720} << 1.5 << Point{} << Rect{0, 0, 1279, 719};
    QTest::newRow("1.75, 1366 x 768") << Rect{0, 0, 781, 439} << 1.75 << Point{} << Rect{0, 0, 780, 438};
    QTest::newRow("1.25 under a 30 px panel")
        << Rect{0, 24, 1536, 840} << 1.25 << Point{} << Rect{0, 24, 1536, 840};
    QTest::newRow("1.5 on a second screen right of the first")
        << Rect{1024, 0, 1935, 512} << 1.5 << Point{1024, 0} << Rect{1024, 0, 1934, 511};
}

// Wherever a window lies in the area, its device rectangle lies within the screen's.
void TestDocking::wholeWindowArea()
{
    QFETCH(Rect, area);
    QFETCH(double, scale);
    QFETCH(Point, origin);
    QFETCH(Rect, expected);
    QCOMPARE(Docking::wholeWindowArea(area, 121, 37, scale, origin), expected);
}

void TestDocking::placeOnScreen_data()
{
    QTest::addColumn<QList<Rect>>("areas");
    QTest::addColumn<Rect>("window");
    QTest::addColumn<Point>("expected");
    const Rect primary{0, 0, 1024, 768};
    const QList<Rect> one{primary};
    const QList<Rect> two{primary, Rect{1024, 0, 2944, 1080}};
    QTest::newRow("in the middle") << one << at(351, 276, 121, 37) << Point{351, 276};
    QTest::newRow("exactly at the bottom-right edge") << one << at(903, 731, 121, 37) << Point{903, 731};
    QTest::newRow("exactly at the top-left edge") << one << at(0, 0, 121, 37) << Point{0, 0};
    QTest::newRow("one pixel past the right edge") << one << at(904, 300, 121, 37) << Point{903, 300};
    QTest::newRow("partly visible at the bottom") << one << at(500, 750, 121, 37) << Point{500, 731};
    QTest::newRow("off to the right") << one << at(2000, 300, 121, 37) << Point{903, 300};
    QTest::newRow("negative") << one << at(-500, -300, 121, 37) << Point{0, 0};
    QTest::newRow("huge") << one << at(1000000, 1000000, 121, 37) << Point{903, 731};
    QTest::newRow("on a second screen that is there") << two << at(2000, 900, 121, 37) << Point{2000, 900};
    QTest::newRow("across both screens") << two << at(980, 300, 121, 37) << Point{980, 300};
    QTest::newRow("below the shorter screen") << two << at(300, 900, 121, 37) << Point{300, 731};
    QTest::newRow("on a second screen that is gone") << one << at(2000, 900, 121, 37) << Point{903, 731};
    QTest::newRow("under the primary's top panel")
        << QList<Rect>{Rect{0, 24, 1024, 768}} << at(100, 10, 121, 37) << Point{100, 24};
}

// A window seen whole stays to the pixel; any other comes to the nearest place on the primary.
void TestDocking::placeOnScreen()
{
    QFETCH(QList<Rect>, areas);
    QFETCH(Rect, window);
    QFETCH(Point, expected);
    const Point placed = Docking::placeOnScreen(window, span(areas), areas.first());
    QCOMPARE(placed.x, expected.x);
    QCOMPARE(placed.y, expected.y);
}

QTEST_MAIN(TestDocking)
#include "tst_docking.moc"
