#include "app/lifecycle.h"
#include "app/links.h"
#include "app/sessionend.h"
#include "app/settingsstore.h"
#include "app/testseams.h"
#include "app/textbox.h"
#include "app/windows.h"
#include "dialogs/form4.h"
#include "dialogs/form5.h"
#include "dialogs/frmabout.h"
#include "mailcheck/form1.h"
#include "mailcheck/pop3.h"
#include "mailcheck/timer.h"
#include "mailcheck/winsock.h"
#include "notifier/form2.h"
#include "notifier/form3.h"
#include "support/ending.h"
#include "support/messageboxes.h"
#include "support/reset.h"
#include "support/settingsfile.h"

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QtTest>

using testsupport::storedValue;

namespace {

QAction *item(const char *name)
{
    return form3().findChild<QAction *>(QString::fromUtf8(name));
}

} // namespace

// Catches what the web item asks the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

// The notifier's popup menu: its items, the four switches, stopping and restarting the checks, the
// exit question and its single save, the window commands and the web item.
class MenuTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        app::watchSessionEnd();
        app::startUpFinished();
    }

    void init() { testsupport::clearSettingsFile(); }

    void cleanup() { testsupport::resetProgram(); }

    void items_data();
    void items();
    void notificationSwitches_data();
    void notificationSwitches();
    void alwaysOnTop();
    void stopAndRestart_data();
    void stopAndRestart();
    void stopEndsTheCheckUnderWay();
    void exitQuestionAnsweredNo();
    void exitQuestionAnsweredYes();
    void sessionEndsWhileTheQuestionIsOpen();
    void windowCommands_data();
    void windowCommands();
    void windowCommandsNeverReload();
    void accountWindowTakesTheKeyboard();
    void webPage();
};

void MenuTest::items_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("separator");
    QTest::addColumn<bool>("checkable");
    int position = 0;
    auto row = [&](const char *name, const char *caption, bool separator = false, bool checkable = false) {
        QTest::newRow(name) << position++ << QString::fromUtf8(name) << QString::fromUtf8(caption)
                            << separator << checkable;
    };
    row("プロパティ", "アカウント設定");
    row("オプション設定", "オプション設定");
    row("mnuAppMail", "起動メーラ設定");
    row("bar3", "", true);
    row("mnufont", "常に手前に表示設定", false, true);
    row("shindou", "振動による通知設定", false, true);
    row("checkbeep", "Beep音による通知設定", false, true);
    row("checknotify", "デスクトップ通知による通知設定", false, true);
    row("checkpreview", "差出人と件名を表示", false, true);
    row("bar4", "", true);
    row("checkShori", "チェック停止(&S)");
    row("bar2", "", true);
    row("終了", "Vurk_メールチェッカーを終了する(&X)");
    row("bar5", "", true);
    row("mnuweb", "Vurk Development Webサイト(&W)");
    row("バージョン情報", "バージョン情報(&A)");
}

void MenuTest::items()
{
    QFETCH(int, position);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, separator);
    QFETCH(bool, checkable);
    const QList<QAction *> actions = form3().mnufile->actions();
    QCOMPARE(actions.size(), 16);
    QAction *action = actions.at(position);
    QCOMPARE(action->objectName(), name);
    QCOMPARE(action->isSeparator(), separator);
    QCOMPARE(action->isCheckable(), checkable);
    QVERIFY(!action->isChecked());
    if (!separator)
        QCOMPARE(action->text(), caption);
    QCOMPARE(form3().mnufile->objectName(), QStringLiteral("mnufile"));
    QVERIFY(!form3().isVisible());
}

void MenuTest::notificationSwitches_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("throughTheMenu");
    for (const char *name : {"shindou", "checkbeep", "checknotify", "checkpreview"}) {
        QTest::addRow("%s called", name) << QString::fromUtf8(name) << false;
        QTest::addRow("%s chosen in the menu", name) << QString::fromUtf8(name) << true;
    }
}

void MenuTest::notificationSwitches()
{
    QFETCH(QString, name);
    QFETCH(bool, throughTheMenu);
    QAction *action = item(name.toUtf8().constData());
    const auto click = [&] {
        if (throughTheMenu)
            action->trigger();
        else if (name == QLatin1String("shindou"))
            form3().shindou_Click();
        else if (name == QLatin1String("checkbeep"))
            form3().checkbeep_Click();
        else if (name == QLatin1String("checknotify"))
            form3().checknotify_Click();
        else
            form3().checkpreview_Click();
    };
    click();
    QVERIFY(action->isChecked());
    click();
    QVERIFY(!action->isChecked());
    click();
    QVERIFY(action->isChecked());
    // Only the next save stores it.
    QVERIFY(!QFile::exists(Store::filePath()));
}

void MenuTest::alwaysOnTop()
{
    Form2& f2 = form2();
    f2.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f2));
    const WId id = f2.winId();
    for (bool expected : {true, false, true, false}) {
        form3().mnufont->trigger();
        QCOMPARE(form3().mnufont->isChecked(), expected);
        QCOMPARE(f2.isTopmost(), expected);
        QVERIFY(f2.isVisible());
        QCOMPARE(f2.winId(), id);
        QCOMPARE(f2.focusWidget(), f2.Command1);
    }
}

void MenuTest::stopAndRestart_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("intervalBefore");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("nextCaption");
    const int minute = app::seams::checkIntervalMs();
    QTest::newRow("stop") << "チェック停止(&S)" << minute << 0 << "Check Stop"
                          << "チェック開始(&S)";
    QTest::newRow("restart") << "チェック開始(&S)" << 0 << minute << ""
                             << "チェック停止(&S)";
    // The account window's OK restarts the timer and leaves the caption: the caption still decides.
    QTest::newRow("restart after OK restarted the timer") << "チェック開始(&S)" << minute << minute << ""
                                                          << "チェック停止(&S)";
}

void MenuTest::stopAndRestart()
{
    QFETCH(QString, caption);
    QFETCH(int, intervalBefore);
    QFETCH(int, interval);
    QFETCH(QString, line);
    QFETCH(QString, nextCaption);
    QCOMPARE(app::seams::checkIntervalMs(), 60000);
    form3().checkShori->setText(caption);
    form1().Timer1->setInterval(intervalBefore);
    form2().Label1->setText(QStringLiteral("You have 2 e-Mail\r\n"));
    form2().Label2->setText(QStringLiteral("2026/12/06 03:31:19"));
    form3().checkShori->trigger();
    QCOMPARE(form1().Timer1->interval(), interval);
    QCOMPARE(form1().Timer1->isEnabled(), true);
    QCOMPARE(form2().Label1->text(), line);
    QCOMPARE(form3().checkShori->text(), nextCaption);
    QCOMPARE(form2().Label2->text(), QStringLiteral("2026/12/06 03:31:19"));
}

// Stopping ends a check that is talking to the server: nothing more goes out, no result follows.
void MenuTest::stopEndsTheCheckUnderWay()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    Form1& f1 = form1();
    f1.Text1->setText(QStringLiteral("127.0.0.1"));
    f1.Text2->setText(QStringLiteral("taro"));
    f1.Text3->setText(QStringLiteral("secret"));
    f1.Text4->setText(QString::number(server.serverPort()));
    f1.startCheck();
    QVERIFY(server.waitForNewConnection(5000));
    QTcpSocket *peer = server.nextPendingConnection();
    peer->write("+OK ready\r\n");
    QTRY_VERIFY(peer->bytesAvailable() >= 11);
    QCOMPARE(peer->readAll(), QByteArray("user taro\r\n"));

    form3().checkShori->trigger();
    peer->write("+OK\r\n");
    QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
    QTest::qWait(100);
    QCOMPARE(peer->readAll(), QByteArray());
    QCOMPARE(form2().Label1->text(), QStringLiteral("Check Stop"));
    QVERIFY(!f1.Winsock1->isOpen());
}

void MenuTest::exitQuestionAnsweredNo()
{
    form3().shindou->setChecked(true);
    testsupport::BoxAnswerer answer(QMessageBox::No);
    form3().終了->trigger();
    QVERIFY(answer.seen.seen);
    QCOMPARE(answer.seen.title, QStringLiteral("Vurk_メールチェッカー"));
    QCOMPARE(answer.seen.text, QStringLiteral("本プログラムを終了します"));
    QCOMPARE(answer.seen.icon, QMessageBox::Question);
    QCOMPARE(answer.seen.buttons, QMessageBox::Yes | QMessageBox::No);
    QVERIFY(!app::isEnding());
    QVERIFY(!QFile::exists(Store::filePath()));
}

void MenuTest::exitQuestionAnsweredYes()
{
    form3().checkbeep->setChecked(true);
    form1().Text2->setText(QStringLiteral("taro"));
    form2().moveToPixels({40, 60});
    testsupport::BoxAnswerer answer(QMessageBox::Yes);
    form3().終了_Click();
    QVERIFY(answer.seen.seen);
    QVERIFY(app::isEnding());
    QCOMPARE(storedValue(Store::Key::checkbeep), QStringLiteral("True"));
    QCOMPARE(storedValue(Store::Key::user), QStringLiteral("taro"));
    QCOMPARE(storedValue(Store::Key::left), QStringLiteral("600"));
    QCOMPARE(storedValue(Store::Key::top), QStringLiteral("900"));

    // Whatever tries to save after that, the close handlers included, writes nothing.
    const QByteArray saved = testsupport::settingsFileBytes();
    form3().checkbeep->setChecked(false);
    form2().close();
    app::endSession();
    QCOMPARE(testsupport::settingsFileBytes(), saved);
}

void MenuTest::sessionEndsWhileTheQuestionIsOpen()
{
    form3().shindou->setChecked(true);
    // The log-off saves with the question still open; the answer must not save again.
    testsupport::BoxAnswerer answer(QMessageBox::Yes, [] {
        app::endSession();
        form3().shindou->setChecked(false);
    });
    form3().終了_Click();
    QVERIFY(answer.seen.seen);
    QVERIFY(app::isEnding());
    QCOMPARE(storedValue(Store::Key::shindou), QStringLiteral("True"));
}

void MenuTest::windowCommands_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("window");
    QTest::newRow("account") << "プロパティ"
                             << "Form1";
    QTest::newRow("colours") << "オプション設定"
                             << "Form4";
    QTest::newRow("mail program") << "mnuAppMail"
                                  << "Form5";
    QTest::newRow("about") << "バージョン情報"
                           << "frmAbout";
}

void MenuTest::windowCommands()
{
    QFETCH(QString, name);
    QFETCH(QString, window);
    QVERIFY(!aboutWindowExists());
    item(name.toUtf8().constData())->trigger();
    QWidget *shown = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == window)
            shown = w;
    }
    QVERIFY(shown);
    QVERIFY(shown->isVisible());
    QVERIFY(!shown->isModal());
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(aboutWindowExists(), window == QLatin1String("frmAbout"));
}

// Typing right after choosing the account settings goes into the server field.
void MenuTest::accountWindowTakesTheKeyboard()
{
    form2().show();
    QVERIFY(QTest::qWaitForWindowActive(&form2()));
    item("プロパティ")->trigger();
    QTRY_VERIFY(form1().isActiveWindow());
    QCOMPARE(QApplication::focusWidget(), form1().Text1->widget());
}

void MenuTest::windowCommandsNeverReload()
{
    form5().txtAppMail->setText(QStringLiteral("typed, not saved"));
    form5().hide();
    form3().mnuAppMail_Click();
    QCOMPARE(form5().txtAppMail->text(), QStringLiteral("typed, not saved"));

    form3().バージョン情報_Click();
    frmAbout *about = &aboutWindow();
    form3().バージョン情報_Click();
    QCOMPARE(&aboutWindow(), about);
}

void MenuTest::webPage()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    form3().mnuweb->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(catcher.opened, QList<QUrl>{QUrl(QString::fromLatin1(app::links::kMakerPage))});
    QCOMPARE(catcher.opened.first().host(), QStringLiteral("vurk-development.example"));
}

QTEST_MAIN(MenuTest)
#include "tst_menu.moc"
