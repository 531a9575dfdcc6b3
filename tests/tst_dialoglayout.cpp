#include "app/colour.h"
#include "app/settingsstore.h"
#include "app/windows.h"
#include "dialogs/form4.h"
#include "dialogs/form5.h"
#include "dialogs/frmabout.h"
#include "support/reset.h"

#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

namespace {

QWidget *windowNamed(const QString& name)
{
    if (name == QLatin1String("Form4"))
        return &form4();
    if (name == QLatin1String("Form5"))
        return &form5();
    return &aboutWindow();
}

} // namespace

// What the three dialogs have in common: frame, size, place, keyboard and legible texts.
class TestDialogLayout : public QObject {
    Q_OBJECT

private slots:
    void init() { QFile::remove(Store::filePath()); }

    void cleanup() { testsupport::resetProgram(); }

    void frame_data();
    void frame();
    void tabOrder_data();
    void tabOrder();
    void enterAndEscapePressNothing_data();
    void enterAndEscapePressNothing();
    void textsFit_data();
    void textsFit();
};

void TestDialogLayout::frame_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("client");
    QTest::newRow("colours") << "Form4"
                             << "オプション設定" << QSize(170, 124);
    QTest::newRow("mail program") << "Form5"
                                  << "起動メーラ設定" << QSize(272, 82);
    QTest::newRow("about") << "frmAbout"
                           << "vurk_mailchecker （ﾊﾞｰｼﾞｮﾝ情報）" << QSize(432, 213);
}

// A fixed dialog frame with only a close box, white, centred on the screen.
void TestDialogLayout::frame()
{
    QFETCH(QString, window);
    QFETCH(QString, title);
    QFETCH(QSize, client);
    QWidget *w = windowNamed(window);
    QCOMPARE(w->windowTitle(), title);
    QCOMPARE(w->size(), client);
    QCOMPARE(w->minimumSize(), client);
    QCOMPARE(w->maximumSize(), client);
    const Qt::WindowFlags flags = w->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(app::backColour(w), QColor(Qt::white));
    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
    QVERIFY2(qAbs(w->geometry().center().x() - centre.x()) <= 1 &&
                 qAbs(w->geometry().center().y() - centre.y()) <= 1,
             qPrintable(QStringLiteral("window centre %1,%2")
                            .arg(w->geometry().center().x())
                            .arg(w->geometry().center().y())));
}

void TestDialogLayout::tabOrder_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("colours: OK first") << "Form4" << QStringList{"Command1", "Command2", "Command4"};
    QTest::newRow("mail program: cancel first")
        << "Form5" << QStringList{"Command2", "Command1", "txtAppMail"};
    QTest::newRow("about") << "frmAbout" << QStringList{"cmdOK"};
}

// The first control in the order has the focus when the window first shows; Tab walks the rest
// and comes round again.
void TestDialogLayout::tabOrder()
{
    QFETCH(QString, window);
    QFETCH(QStringList, order);
    QWidget *w = windowNamed(window);
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    for (const QString& name : order + QStringList{order.first()}) {
        QVERIFY(QApplication::focusWidget());
        QCOMPARE(QApplication::focusWidget()->objectName(), name);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

void TestDialogLayout::enterAndEscapePressNothing_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("key");
    QTest::newRow("colours, Return on OK") << "Form4" << int(Qt::Key_Return);
    QTest::newRow("colours, Enter on OK") << "Form4" << int(Qt::Key_Enter);
    QTest::newRow("colours, Escape") << "Form4" << int(Qt::Key_Escape);
    QTest::newRow("mail program, Return on cancel") << "Form5" << int(Qt::Key_Return);
    QTest::newRow("mail program, Escape") << "Form5" << int(Qt::Key_Escape);
}

// No default and no cancel button: only a click or the space bar presses a button.
void TestDialogLayout::enterAndEscapePressNothing()
{
    QFETCH(QString, window);
    QFETCH(int, key);
    QWidget *w = windowNamed(window);
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QVERIFY(w->isVisible());
    QVERIFY(!QFile::exists(Store::filePath()));
}

void TestDialogLayout::textsFit_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("colours") << "Form4";
    QTest::newRow("mail program") << "Form5";
    QTest::newRow("about") << "frmAbout";
}

// The designer's font is rarely installed; every caption must still show whole in its box.
void TestDialogLayout::textsFit()
{
    QFETCH(QString, window);
    if (QFontDatabase::families(QFontDatabase::Japanese).isEmpty())
        QSKIP("no Japanese font installed");
    QWidget *w = windowNamed(window);
    for (QLabel *label : w->findChildren<QLabel *>()) {
        if (label->text().isEmpty())
            continue;
        const QFontMetrics metrics(label->font());
        const QRect box = label->contentsRect();
        if (label->wordWrap())
            QVERIFY2(label->heightForWidth(box.width()) <= box.height(), qPrintable(label->objectName()));
        else
            QVERIFY2(metrics.horizontalAdvance(label->text()) <= box.width(),
                     qPrintable(label->objectName()));
    }
    for (QPushButton *button : w->findChildren<QPushButton *>()) {
        const QFontMetrics metrics(button->font());
        QVERIFY2(metrics.horizontalAdvance(button->text()) <= button->width(),
                 qPrintable(button->objectName()));
    }
}

QTEST_MAIN(TestDialogLayout)
#include "tst_dialoglayout.moc"
