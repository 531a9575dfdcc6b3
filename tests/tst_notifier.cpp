#include "app/lifecycle.h"
#include "app/sessionend.h"
#include "app/settingsstore.h"
#include "app/textbox.h"
#include "app/windows.h"
#include "dialogs/form5.h"
#include "docking/docking.h"
#include "mailcheck/form1.h"
#include "notifier/alerts.h"
#include "notifier/form2.h"
#include "notifier/form3.h"
#include "notifier/look.h"
#include "notifier/mailprogram.h"
#include "notifier/rules.h"
#include "support/ending.h"
#include "support/messageboxes.h"
#include "support/reset.h"
#include "support/settingsfile.h"

#include <QAction>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolTip>
#include <QWindow>
#include <QtTest>

#include <csignal>

using notifier::Control;
Q_DECLARE_METATYPE(notifier::Control)

using testsupport::storedValue;

namespace {

// Delivers a mouse event the way the window system would: to the topmost control under the point,
// which passes on what it does not take.
void mouse(QEvent::Type type, QPoint windowPoint, Qt::MouseButton button, Qt::MouseButtons held,
           QPoint cursor)
{
    Form2& f2 = form2();
    QWidget *target = f2.childAt(windowPoint);
    if (!target)
        target = &f2;
    const QPoint local = target->mapFrom(&f2, windowPoint);
    QMouseEvent event(type, QPointF(local), QPointF(cursor), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

QPoint screenPoint(QPoint windowPoint)
{
    return form2().pixelPosition() + windowPoint;
}

void press(QPoint at, Qt::MouseButton button)
{
    mouse(QEvent::MouseButtonPress, at, button, button, screenPoint(at));
}

// A drag step: the cursor moves on the screen while the press holds.
void dragTo(QPoint windowPoint, QPoint cursor)
{
    mouse(QEvent::MouseMove, windowPoint, Qt::NoButton, Qt::LeftButton, cursor);
}

void release(QPoint at, Qt::MouseButton button, QPoint cursor)
{
    mouse(QEvent::MouseButtonRelease, at, button, Qt::NoButton, cursor);
}

// Rows of pixels in which the image differs from the reference.
QList<int> changedRows(const QImage& image, const QImage& reference)
{
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != reference.pixel(x, y)) {
                rows << y;
                break;
            }
        }
    }
    return rows;
}

} // namespace

// The notifier window: its rules, its looks, its own move loop, the mail program button, the close
// handlers and the end of the session.
class NotifierTest : public QObject {
    Q_OBJECT

private slots:
    void blinkSequence();
    void outcomeTexts();
    void initTestCase()
    {
        app::watchSessionEnd();
        app::startUpFinished();
    }

    void init() { testsupport::clearSettingsFile(); }

    void cleanup()
    {
        if (form2Exists() && form3().mnufile->isVisible())
            form3().mnufile->hide();
        testsupport::resetProgram();
    }

    void pressAndClickRules_data();
    void pressAndClickRules();
    void visibleText_data();
    void visibleText();
    void proposedFrame();

    void mouseOnTheWindow_data();
    void mouseOnTheWindow();
    void dragFollowsTheGripAndSnaps_data();
    void dragFollowsTheGripAndSnaps();
    void draggedPositionIsStoredInTwips();

    void trailingLineBreakNeitherMovesNorDraws();
    void linesFitTheirLabels_data();
    void linesFitTheirLabels();
    void bezel();
    void controls();

    void topmostAtLoad_data();
    void topmostAtLoad();
    void topmostSwitchKeepsTheWindow();

    void commandLineWords_data();
    void commandLineWords();
    void mailProgram_data();
    void mailProgram();
    void mailProgramStarts();
    void mailProgramBoxFitsTheScreen_data();
    void mailProgramBoxFitsTheScreen();
    void wrappedLines_data();
    void wrappedLines();
    void toolTipStaysOnScreen_data();
    void toolTipStaysOnScreen();

    void closeHandlers_data();
    void closeHandlers();
    void closingTheWindowSavesAndEnds();
    void terminationSignalsSaveOnce_data();
    void terminationSignalsSaveOnce();
};

void NotifierTest::pressAndClickRules_data()
{
    QTest::addColumn<Control>("pressed");
    QTest::addColumn<Control>("released");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("drags");
    QTest::addColumn<bool>("menu");

    const struct {
        const char *name;
        Control control;
    } controls[] = {{"background", Control::Form},
                    {"Label1", Control::Label1},
                    {"Label2", Control::Label2},
                    {"Label3", Control::Label3},
                    {"Command1", Control::Command1}};
    for (const auto& c : controls) {
        const bool textOrBackground =
            c.control == Control::Form || c.control == Control::Label1 || c.control == Control::Label2;
        const bool label = c.control != Control::Command1;
        QTest::addRow("left on %s", c.name)
            << c.control << c.control << Qt::LeftButton << textOrBackground << (c.control == Control::Label3);
        QTest::addRow("right on %s", c.name) << c.control << c.control << Qt::RightButton << false << label;
        QTest::addRow("middle on %s", c.name) << c.control << c.control << Qt::MiddleButton << false << label;
    }
    QTest::newRow("right released elsewhere")
        << Control::Label1 << Control::Form << Qt::RightButton << false << false;
    QTest::newRow("left on Label3 released on Label1")
        << Control::Label3 << Control::Label1 << Qt::LeftButton << false << false;
    QTest::newRow("back button") << Control::Form << Control::Form << Qt::BackButton << false << false;
}

void NotifierTest::pressAndClickRules()
{
    QFETCH(Control, pressed);
    QFETCH(Control, released);
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, drags);
    QFETCH(bool, menu);
    QCOMPARE(notifier::pressStartsDrag(pressed, button), drags);
    QCOMPARE(notifier::clickOpensMenu(pressed, released, button), menu);
}

void NotifierTest::visibleText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("count with CR LF") << "You have 3 e-Mail\r\n"
                                      << "You have 3 e-Mail";
    QTest::newRow("no mail") << "Not Found e-Mail"
                             << "Not Found e-Mail";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("only CR LF") << "\r\n"
                                << "";
    QTest::newRow("inner break stays") << "a\r\nb\r\n"
                                       << "a\nb";
    QTest::newRow("lone CR") << "a\rb"
                             << "ab";
}

void NotifierTest::visibleText()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(notifier::visibleText(text), shown);
}

void NotifierTest::proposedFrame()
{
    const Docking::Rect frame = notifier::proposedFrame({500, 400}, {20, 10}, {121, 37});
    QCOMPARE(frame, (Docking::Rect{480, 390, 601, 427}));
}

void NotifierTest::mouseOnTheWindow_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("drags");
    QTest::addColumn<bool>("menu");

    // Points in the window: outside the panel, on each text line, on the panel's margin that the
    // lines leave free, and on the visible corner of the button.
    const QPoint background(2, 20), line1(50, 10), line2(50, 25), margin(50, 31), side(7, 15), corner(117, 2);
    QTest::newRow("left on background drags") << background << Qt::LeftButton << true << false;
    QTest::newRow("left on Label1 drags") << line1 << Qt::LeftButton << true << false;
    QTest::newRow("left on Label2 drags") << line2 << Qt::LeftButton << true << false;
    QTest::newRow("left on Label3 bottom margin opens the menu") << margin << Qt::LeftButton << false << true;
    QTest::newRow("left on Label3 side margin opens the menu") << side << Qt::LeftButton << false << true;
    QTest::newRow("right on background") << background << Qt::RightButton << false << true;
    QTest::newRow("right on Label1") << line1 << Qt::RightButton << false << true;
    QTest::newRow("right on Label2") << line2 << Qt::RightButton << false << true;
    QTest::newRow("right on Label3") << margin << Qt::RightButton << false << true;
    QTest::newRow("right on Command1 does nothing") << corner << Qt::RightButton << false << false;
}

void NotifierTest::mouseOnTheWindow()
{
    QFETCH(QPoint, at);
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, drags);
    QFETCH(bool, menu);
    form2().show();
    const QPoint start = form2().pixelPosition();

    // A press and release on the spot: a click, unless the press began a move.
    press(at, button);
    release(at, button, screenPoint(at));
    QCOMPARE(form3().mnufile->isVisible(), menu);
    if (menu)
        QCOMPARE(form3().mnufile->pos(), screenPoint(at));
    form3().mnufile->hide();
    QCOMPARE(form2().pixelPosition(), start);

    // The same press, then the cursor travels 60 px right and 40 px down before the release.
    press(at, button);
    mouse(QEvent::MouseMove, at, Qt::NoButton, button, screenPoint(at) + QPoint(60, 40));
    release(at, button, screenPoint(at) + QPoint(60, 40));
    QCOMPARE(form2().pixelPosition(), drags ? start + QPoint(60, 40) : start);
    QVERIFY(!form2().isMoving());
}

void NotifierTest::dragFollowsTheGripAndSnaps_data()
{
    QTest::addColumn<int>("cursorX");
    QTest::addColumn<int>("expectedLeft");
    // The grip is 20 px right of the window's left edge.
    QTest::newRow("left edge 10 px from the work area snaps") << 30 << 0;
    QTest::newRow("14 px snaps") << 34 << 0;
    QTest::newRow("15 px stays") << 35 << 15;
    QTest::newRow("20 px stays") << 40 << 20;
    QTest::newRow("far away") << 220 << 200;
}

void NotifierTest::dragFollowsTheGripAndSnaps()
{
    QFETCH(int, cursorX);
    QFETCH(int, expectedLeft);
    form2().show();
    const QPoint grip(20, 10);
    press(grip, Qt::LeftButton);
    // Steps on the way, then the last one; only the last decides where it stands.
    for (int x : {300, 150, cursorX})
        dragTo(grip, {x, 250});
    release(grip, Qt::LeftButton, {cursorX, 250});
    QCOMPARE(form2().pixelPosition(), QPoint(expectedLeft, 240));
}

void NotifierTest::draggedPositionIsStoredInTwips()
{
    form2().show();
    press({15, 12}, Qt::LeftButton);
    dragTo({15, 12}, {415, 312});
    release({15, 12}, Qt::LeftButton, {415, 312});
    QCOMPARE(form2().pixelPosition(), QPoint(400, 300));
    int cancel = 0;
    form2().Form_Unload(cancel);
    QCOMPARE(storedValue(Store::Key::left), QStringLiteral("6000"));
    QCOMPARE(storedValue(Store::Key::top), QStringLiteral("4500"));
}

void NotifierTest::trailingLineBreakNeitherMovesNorDraws()
{
    Form2& f2 = form2();
    f2.Label1->setText(QStringLiteral("You have 3 e-Mail"));
    const QImage plain = f2.grab().toImage();
    f2.Label1->setText(QStringLiteral("You have 3 e-Mail\r\n"));
    const QImage withBreak = f2.grab().toImage();
    QCOMPARE(withBreak, plain);
    QCOMPARE(f2.Label1->text(), QStringLiteral("You have 3 e-Mail\r\n"));

    // The text starts at the top of its line, not half a line higher or lower.
    f2.Label1->setText(QString());
    const QList<int> rows = changedRows(plain, f2.grab().toImage());
    QVERIFY(!rows.isEmpty());
    QVERIFY2(rows.first() >= 6 && rows.first() <= 9, qPrintable(QString::number(rows.first())));
    QVERIFY2(rows.last() < 6 + 15, qPrintable(QString::number(rows.last())));
}

void NotifierTest::linesFitTheirLabels_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::newRow("three-digit count") << "You have 999 e-Mail" << 107;
    QTest::newRow("no account") << "Please check a account" << 107;
    QTest::newRow("no mail") << "Not Found e-Mail" << 107;
    QTest::newRow("clock") << "2026/12/31 23:59:59" << 108;
}

void NotifierTest::linesFitTheirLabels()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    const QFontMetrics metrics(notifier::lineFont());
    QVERIFY2(metrics.horizontalAdvance(text) <= width - 1,
             qPrintable(QFontInfo(notifier::lineFont()).family()));
    QVERIFY(metrics.height() <= 13);
    QVERIFY(notifier::lineFont().bold());
}

void NotifierTest::bezel()
{
    const QImage bezel = notifier::bezelImage();
    QCOMPARE(bezel.size(), QSize(121, 37));
    // A white field one pixel wider than the panel (7, 5, 107 x 27) on each side.
    for (const QPoint p : {QPoint(6, 4), QPoint(114, 4), QPoint(6, 32), QPoint(114, 32), QPoint(60, 18)})
        QCOMPARE(QColor(bezel.pixel(p)), QColor(Qt::white));
    // The dark inner border round it, and a grey frame outside.
    for (const QPoint p : {QPoint(5, 18), QPoint(115, 18), QPoint(60, 3), QPoint(60, 33)})
        QVERIFY(QColor(bezel.pixel(p)).lightness() < 90);
    for (const QPoint p : {QPoint(2, 18), QPoint(118, 18), QPoint(3, 30), QPoint(60, 35)}) {
        const QColor c(bezel.pixel(p));
        QVERIFY(c != QColor(Qt::white) && c.lightness() > 120 && c.saturation() < 20);
    }
}

void NotifierTest::controls()
{
    Form2& f2 = form2();
    QCOMPARE(f2.windowTitle(), QStringLiteral("Vurk_メールチェッカー"));
    QCOMPARE(f2.size(), QSize(121, 37));
    QVERIFY(f2.windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(f2.Command1->geometry(), QRect(114, -3, 7, 8));
    QCOMPARE(f2.Command1->toolTip(), QStringLiteral("メーラーを起動する"));
    QCOMPARE(f2.Label1->geometry(), QRect(8, 6, 107, 15));
    QCOMPARE(f2.Label2->geometry(), QRect(8, 18, 108, 13));
    QCOMPARE(f2.Label3->geometry(), QRect(7, 5, 107, 27));
    // Front to back: Command1, Label2, Label1, Label3.
    QCOMPARE(f2.childAt(117, 2), f2.Command1);
    QCOMPARE(f2.childAt(50, 19), f2.Label2);
    QCOMPARE(f2.childAt(50, 17), f2.Label1);
    QCOMPARE(f2.childAt(7, 17), f2.Label3);
    QCOMPARE(f2.focusWidget(), f2.Command1);
}

void NotifierTest::topmostAtLoad_data()
{
    QTest::addColumn<bool>("checked");
    QTest::newRow("switch on") << true;
    QTest::newRow("switch off") << false;
}

void NotifierTest::topmostAtLoad()
{
    QFETCH(bool, checked);
    form3().mnufont->setChecked(checked);
    QCOMPARE(form2().isTopmost(), checked);
    form2().show();
    QVERIFY(QTest::qWaitForWindowExposed(&form2()));
    QCOMPARE(form2().windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), checked);
}

void NotifierTest::topmostSwitchKeepsTheWindow()
{
    Form2& f2 = form2();
    f2.moveToPixels({200, 150});
    f2.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f2));
    const QWindow *handle = f2.windowHandle();
    const WId id = f2.winId();
    for (bool on : {true, false, true}) {
        f2.setTopmost(on);
        QCOMPARE(f2.isTopmost(), on);
        QCOMPARE(f2.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), on);
        QCOMPARE(f2.windowHandle(), handle);
        QCOMPARE(f2.winId(), id);
        QVERIFY(f2.isVisible());
        QCOMPARE(f2.pixelPosition(), QPoint(200, 150));
        QVERIFY(f2.windowFlags().testFlag(Qt::FramelessWindowHint));
    }
}

void NotifierTest::commandLineWords_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<bool>("fails");
    QTest::newRow("program and argument")
        << "thunderbird -mail" << QStringList{"thunderbird", "-mail"} << false;
    QTest::newRow("tabs and runs of blanks")
        << " \tmutt\t  -f  box " << QStringList{"mutt", "-f", "box"} << false;
    QTest::newRow("double quotes keep a space")
        << "\"/opt/My Mail/mail\" --compose" << QStringList{"/opt/My Mail/mail", "--compose"} << false;
    QTest::newRow("single quotes keep a double quote")
        << "mail 'say \"hi\"'" << QStringList{"mail", "say \"hi\""} << false;
    QTest::newRow("backslash escapes a blank")
        << "/opt/My\\ Mail/mail" << QStringList{"/opt/My Mail/mail"} << false;
    QTest::newRow("backslash inside double quotes")
        << "mail \"a\\\"b\"" << QStringList{"mail", "a\"b"} << false;
    QTest::newRow("empty words") << "mail '' \"\"" << QStringList{"mail", "", ""} << false;
    QTest::newRow("no expansions") << "mail $HOME * ~ `id` $(id)"
                                   << QStringList{"mail", "$HOME", "*", "~", "`id`", "$(id)"} << false;
    QTest::newRow("Japanese path") << "/home/ユーザー/メーラ" << QStringList{"/home/ユーザー/メーラ"}
                                   << false;
    QTest::newRow("unbalanced double quote") << "\"/opt/My Mail/mail" << QStringList{} << true;
    QTest::newRow("unbalanced single quote") << "mail 'draft" << QStringList{} << true;
    QTest::newRow("trailing backslash") << "mail \\" << QStringList{} << true;
    QTest::newRow("only blanks") << " \t " << QStringList{} << true;
}

// Words as a shell splits them, without a shell: nothing is run or expanded.
void NotifierTest::commandLineWords()
{
    QFETCH(QString, commandLine);
    QFETCH(QStringList, words);
    QFETCH(bool, fails);
    const notifier::CommandWords split = notifier::splitCommandLine(commandLine);
    QCOMPARE(split.words, words);
    QCOMPARE(split.error.isEmpty(), !fails);
}

void NotifierTest::mailProgram_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("icon");
    QTest::newRow("empty") << ""
                           << "起動させたいメーラの設定を行ってください" << int(QMessageBox::NoIcon);
    // Not empty, so it is started; there is nothing to start, which is said.
    QTest::newRow("only spaces") << "   "
                                 << "メーラを起動できませんでした。" << int(QMessageBox::Warning);
    QTest::newRow("no such program") << "/nonexistent/vurk-mailer --compose"
                                     << "メーラを起動できませんでした。" << int(QMessageBox::Warning);
    QTest::newRow("unbalanced quote") << "\"/usr/bin/true --compose"
                                      << "メーラを起動できませんでした。" << int(QMessageBox::Warning);
}

void NotifierTest::mailProgram()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, message);
    QFETCH(int, icon);
    form5().txtAppMail->setText(commandLine);
    testsupport::BoxAnswerer answer(QMessageBox::Ok);
    form2().Command1->click();
    QVERIFY(answer.seen.seen);
    QCOMPARE(answer.seen.title, QStringLiteral("Vurk_メールチェッカー"));
    QVERIFY2(answer.seen.text.startsWith(message), qPrintable(answer.seen.text));
    QCOMPARE(int(answer.seen.icon), icon);
    QCOMPARE(answer.seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    if (!commandLine.isEmpty())
        QVERIFY(answer.seen.text.contains(commandLine));
}

void NotifierTest::mailProgramStarts()
{
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("started it"));
    // An argument with a space, quoted; the program runs on its own.
    form5().txtAppMail->setText(QStringLiteral("touch \"%1\"").arg(marker));
    {
        testsupport::BoxAnswerer answer(QMessageBox::Ok);
        form2().Command1->click();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 10000);
        QVERIFY(!answer.seen.seen);
    }

    // The dialog destroyed by its close box loses its text: the message again.
    unloadForm5();
    testsupport::BoxAnswerer again(QMessageBox::Ok);
    form2().Command1_Click();
    QCOMPARE(again.seen.text, QStringLiteral("起動させたいメーラの設定を行ってください"));
}

void NotifierTest::mailProgramBoxFitsTheScreen_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::newRow("a token without blanks") << QStringLiteral("/nonexistent/") + QString(30000, u'm');
    QTest::newRow("thousands of words")
        << QStringLiteral("/nonexistent/mailer") + QStringLiteral(" --x").repeated(7000);
    QTest::newRow("right-to-left override") << QStringLiteral("/nonexistent/\u202Erelaim --compose");
}

// However absurd the command line, the message box that says it could not start stays on screen
// with its button, and the line cannot turn the rest of the text around.
void NotifierTest::mailProgramBoxFitsTheScreen()
{
    QFETCH(QString, commandLine);
    form5().txtAppMail->setText(commandLine);
    QRect box, button;
    testsupport::BoxAnswerer answer(QMessageBox::Ok, [&] {
        auto *shown = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(shown);
        box = shown->frameGeometry();
        const QAbstractButton *ok = shown->button(QMessageBox::Ok);
        button = QRect(ok->mapToGlobal(QPoint(0, 0)), ok->size());
    });
    form2().Command1->click();
    QVERIFY(answer.seen.seen);
    QVERIFY2(answer.seen.text.startsWith(QStringLiteral("メーラを起動できませんでした。")),
             qPrintable(answer.seen.text));
    QVERIFY(!answer.seen.text.contains(QChar(0x202E)));
    const QRect screen = form2().screen()->geometry();
    QVERIFY2(screen.contains(box),
             qPrintable(QStringLiteral("box %1x%2").arg(box.width()).arg(box.height())));
    QVERIFY(screen.contains(button));
}

void NotifierTest::wrappedLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("wrapped");
    QTest::newRow("fits") << "Login failed" << 80 << "Login failed";
    QTest::newRow("at the last blank that fits") << "aaa bbb ccc" << 7 << "aaa bbb\nccc";
    QTest::newRow("token without blanks") << "abcdefghij" << 4 << "abcd\nefgh\nij";
    QTest::newRow("wide characters count two") << "メメメメメ" << 4 << "メメ\nメメ\nメ";
    QTest::newRow("each line on its own") << "ab cd\nef" << 2 << "ab\ncd\nef";
    QTest::newRow("a surrogate pair stays whole") << "a\U0001F600b" << 2 << "a\n\U0001F600\nb";
    QTest::newRow("empty") << "" << 80 << "";
}

void NotifierTest::wrappedLines()
{
    QFETCH(QString, text);
    QFETCH(int, columns);
    QFETCH(QString, wrapped);
    QCOMPARE(notifier::wrapLines(text, columns), wrapped);
}

void NotifierTest::toolTipStaysOnScreen_data()
{
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("shownWhole"); // there, line breaks aside
    const QString token(2000, u'x');
    QTest::newRow("server's token without blanks") << ""
                                                   << "Login failed: " + token << token;
    const QString path = QStringLiteral("/home/taro/\u202Eini.exe/") + QString(300, u'd') + "/vurk.ini";
    QTest::newRow("settings path with a right-to-left override")
        << "Settings not read: " + path + ": Permission denied"
        << "0 messages" << QStringLiteral(": Permission denied");
}

// The tooltip on screen: wrapped within the screen, whole, and no path turns the rest around.
void NotifierTest::toolTipStaysOnScreen()
{
    QFETCH(QString, problem);
    QFETCH(QString, outcome);
    QFETCH(QString, shownWhole);
    Form2& f2 = form2();
    f2.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f2));
    f2.showProblem(problem);
    f2.showResult(QStringLiteral("Not Found e-Mail"), outcome);
    QHelpEvent hover(QEvent::ToolTip, QPoint(50, 10), f2.mapToGlobal(QPoint(50, 10)));
    QApplication::sendEvent(&f2, &hover);
    QTRY_VERIFY(QToolTip::isVisible());
    const QString shown = QToolTip::text();
    QToolTip::hideText();
    QVERIFY(QString(shown).remove(QLatin1Char('\n')).contains(shownWhole));
    QVERIFY(!shown.contains(QChar(0x202E)));
    const QFontMetrics metrics(QToolTip::font());
    for (const QString& line : shown.split(QLatin1Char('\n')))
        QVERIFY2(metrics.horizontalAdvance(line) < f2.screen()->geometry().width(), qPrintable(line));
}

void NotifierTest::closeHandlers_data()
{
    QTest::addColumn<int>("unloadMode");
    QTest::addColumn<bool>("querySaves");
    QTest::newRow("closed by the user") << notifier::UnloadFormControlMenu << false;
    QTest::newRow("session ends") << notifier::UnloadAppWindows << true;
    QTest::newRow("closed by the program") << 1 << false;
}

void NotifierTest::closeHandlers()
{
    QFETCH(int, unloadMode);
    QFETCH(bool, querySaves);
    form2().moveToPixels({30, 45});
    int cancel = 0;
    form2().Form_QueryUnload(cancel, unloadMode);
    QCOMPARE(QFile::exists(Store::filePath()), querySaves);
    QCOMPARE(cancel, 0);
    testsupport::clearSettingsFile();
    form2().Form_Unload(cancel);
    QCOMPARE(storedValue(Store::Key::left), QStringLiteral("450"));
    QCOMPARE(storedValue(Store::Key::top), QStringLiteral("675"));
    QCOMPARE(cancel, 0);
}

void NotifierTest::closingTheWindowSavesAndEnds()
{
    form3().checkbeep->setChecked(true);
    form2().show();
    QVERIFY(form2().close());
    QCOMPARE(storedValue(Store::Key::checkbeep), QStringLiteral("True"));
    QCOMPARE(storedValue(Store::Key::left), QStringLiteral("5265"));
    QVERIFY(app::isEnding());
}

void NotifierTest::terminationSignalsSaveOnce_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
    QTest::newRow("SIGINT") << SIGINT;
}

void NotifierTest::terminationSignalsSaveOnce()
{
    QFETCH(int, signal);
    form3().shindou->setChecked(true);
    form1().Text1->setText(QStringLiteral("pop.example"));
    form2().moveToPixels({100, 20});
    form2().show();
    std::raise(signal);
    QTRY_VERIFY(app::isEnding());
    QCOMPARE(storedValue(Store::Key::shindou), QStringLiteral("True"));
    QCOMPARE(storedValue(Store::Key::server), QStringLiteral("pop.example"));
    QCOMPARE(storedValue(Store::Key::left), QStringLiteral("1500"));
    QCOMPARE(storedValue(Store::Key::top), QStringLiteral("300"));

    // A second request, or the window closing afterwards, saves nothing more.
    form3().shindou->setChecked(false);
    std::raise(SIGTERM);
    QTest::qWait(20);
    app::endSession();
    form2().close();
    QCOMPARE(storedValue(Store::Key::shindou), QStringLiteral("True"));
}

void NotifierTest::blinkSequence()
{
    QCOMPARE(notifier::kBlinkSequence.size(), size_t(18));
    int waits = 0;
    double total = 0;
    for (const notifier::BlinkStep& step : notifier::kBlinkSequence) {
        QVERIFY(step.colourSlot == notifier::kBlinkColourA || step.colourSlot == notifier::kBlinkColourB);
        if (step.wait > 0)
            ++waits;
        total += step.wait;
    }
    QCOMPARE(waits, 17);
    QVERIFY(qAbs(total - 2.1) < 1e-9);
    QCOMPARE(notifier::kBlinkSequence[8].colourSlot, notifier::kBlinkColourA);
    QCOMPARE(notifier::kBlinkSequence[8].wait, 1.0);
    QCOMPARE(notifier::kBlinkSequence[9].colourSlot, notifier::kBlinkColourA);
    // The panel is left in blink colour B.
    QCOMPARE(notifier::kBlinkSequence[16].colourSlot, notifier::kBlinkColourB);
    QCOMPARE(notifier::kBlinkSequence[17].colourSlot, notifier::kBlinkColourB);
    QCOMPARE(notifier::kBlinkSequence[17].wait, 0.0);
}

void NotifierTest::outcomeTexts()
{
    const QDateTime when(QDate(2026, 12, 7), QTime(10, 31, 5));
    QCOMPARE(notifier::outcomeText(when, notifier::messagesText(QStringLiteral("3"))),
             QStringLiteral("2026/12/07 10:31:05 3 messages"));
    QCOMPARE(notifier::messagesText(QStringLiteral("1")), QStringLiteral("1 message"));
    QCOMPARE(notifier::messagesText(QStringLiteral("0")), QStringLiteral("0 messages"));
    QCOMPARE(notifier::detailText(QStringLiteral("-ERR [AUTH] Authentication failed.\r\n")),
             QStringLiteral("-ERR [AUTH] Authentication failed."));
    QCOMPARE(notifier::detailText(QString::fromLatin1("a\x01\x1b[31mb\tc\xff")), QStringLiteral("a[31mb c"));
    QCOMPARE(notifier::detailText(QString(10000, QLatin1Char('e'))).size(), 120);
}

QTEST_MAIN(NotifierTest)
#include "tst_notifier.moc"
