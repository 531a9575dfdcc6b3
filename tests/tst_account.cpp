#include "app/colour.h"
#include "app/settingsstore.h"
#include "app/testseams.h"
#include "app/textbox.h"
#include "app/twips.h"
#include "app/windows.h"
#include "dialogs/form4.h"
#include "mailcheck/form1.h"
#include "mailcheck/pop3.h"
#include "mailcheck/timer.h"
#include "mailcheck/winsock.h"
#include "notifier/form2.h"
#include "scramble/encrypt.h"
#include "support/reset.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

namespace {

const char *const kColours[4] = {"0", "12500400", "16304788", "16737380"};

QString storedPassword()
{
    return Encrypt::DecodePassword(Store::read(Store::Key::pass));
}

} // namespace

class TestAccount : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout_data();
    void layout();
    void fieldsAndTabOrder();
    void okWithEmptyEntryKeepsPassword();
    void okWithTypedEntryReplacesPassword();
    void okChecksTheFieldsInOrder_data();
    void okChecksTheFieldsInOrder();
    void okRestartsStoppedChecking();
    void okAppliesColours();
    void okCutsOffACheckUnderWay();
    void securityChoiceMovesOnlyAStandardPort_data();
    void securityChoiceMovesOnlyAStandardPort();
    void cancelKeepsTypedTextUnsaved();
    void noCheckWhileTheWindowIsOpen();
    void closeBoxOnlyHides();

private:
    void fillAccount();
};

void TestAccount::init()
{
    QFile::remove(Store::filePath());
    for (int i = 0; i < 4; ++i)
        form4().Colour[i]->setText(QLatin1String(kColours[i]));
    form2();
}

void TestAccount::cleanup()
{
    testsupport::resetProgram();
}

void TestAccount::fillAccount()
{
    Form1& f1 = form1();
    f1.Text1->setText(QStringLiteral("mail.example.test"));
    f1.Text2->setText(QStringLiteral("alice"));
    f1.Text3->setText(QStringLiteral("old-secret"));
    f1.Text4->setText(QStringLiteral("110"));
}

void TestAccount::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Label1") << "Label1"
                            << "サーバー名" << QRect(120, 120, 1200, 255);
    QTest::newRow("Text1") << "Text1"
                           << "" << QRect(1350, 120, 3345, 270);
    QTest::newRow("Label2") << "Label2"
                            << "アカウント名" << QRect(120, 480, 1185, 255);
    QTest::newRow("Text2") << "Text2"
                           << "" << QRect(1350, 480, 1575, 270);
    QTest::newRow("Label3") << "Label3"
                            << "パスワード" << QRect(120, 840, 1095, 255);
    QTest::newRow("Text7") << "Text7"
                           << "" << QRect(1350, 840, 1575, 270);
    QTest::newRow("Label4") << "Label4"
                            << "ポート番号" << QRect(120, 1200, 1230, 420);
    QTest::newRow("Text4") << "Text4"
                           << "" << QRect(1350, 1200, 525, 270);
    QTest::newRow("Label5") << "Label5"
                            << "標準(110)" << QRect(1920, 1320, 735, 285);
    QTest::newRow("Label6") << "Label6"
                            << "接続の保護" << QRect(120, 1680, 1230, 255);
    QTest::newRow("Combo1") << "Combo1"
                            << "" << QRect(1350, 1650, 3345, 300);
    QTest::newRow("Label7") << "Label7"
                            << "認証方式" << QRect(120, 2040, 1230, 255);
    QTest::newRow("Combo2") << "Combo2"
                            << "" << QRect(1350, 2010, 3345, 300);
    QTest::newRow("Command1") << "Command1"
                              << "OK" << QRect(3150, 2430, 615, 300);
    QTest::newRow("Command2") << "Command2"
                              << "キャンセル" << QRect(3795, 2430, 900, 300);
}

void TestAccount::layout()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);
    // The fields' line edits are made when the window first shows.
    form1().show();
    auto *widget = form1().findChild<QWidget *>(name);
    QVERIFY(widget);
    const QRect pixels(app::twipsToPixelsX(twips.x()), app::twipsToPixelsY(twips.y()),
                       app::twipsToPixelsX(twips.width()), app::twipsToPixelsY(twips.height()));
    QCOMPARE(widget->geometry(), pixels);
    if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), caption);
    if (auto *button = qobject_cast<QPushButton *>(widget))
        QCOMPARE(button->text(), caption);
}

void TestAccount::fieldsAndTabOrder()
{
    Form1& f1 = form1();
    QCOMPARE(f1.windowTitle(), QStringLiteral("アカウント設定"));
    QCOMPARE(f1.size(), QSize(app::twipsToPixelsX(4815), app::twipsToPixelsY(2850)));
    QCOMPARE(f1.Text7->echoMode(), QLineEdit::Password);
    for (TextBox *hidden : {f1.Text3, f1.Text5, f1.Text6})
        QVERIFY(hidden->isHidden());
    QCOMPARE(f1.Text3->echoMode(), QLineEdit::Password);

    f1.show();
    QList<QWidget *> order;
    QWidget *w = f1.Command1;
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            order << w;
        w = w->nextInFocusChain();
    } while (w != f1.Command1);
    const QList<QWidget *> expected{f1.Command1,        f1.Command2,        f1.Text1->widget(),
                                    f1.Text2->widget(), f1.Text7->widget(), f1.Text4->widget(),
                                    f1.Combo1,          f1.Combo2};
    QCOMPARE(order, expected);
}

// The entry never shows the stored password: OK after changing only the server must keep it.
void TestAccount::okWithEmptyEntryKeepsPassword()
{
    fillAccount();
    form1().show();
    form1().Text1->setText(QStringLiteral("other.example.test"));
    form1().Command1->click();
    QCOMPARE(form1().Text3->text(), QStringLiteral("old-secret"));
    QCOMPARE(storedPassword(), QStringLiteral("old-secret"));
    QCOMPARE(Store::read(Store::Key::server), QStringLiteral("other.example.test"));
    QCOMPARE(form2().Label1->text(), QStringLiteral("Not Found e-Mail"));
    QVERIFY(form1().isHidden());
    QVERIFY(form2().isVisible());
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                .match(form2().Label2->text())
                .hasMatch());
}

void TestAccount::securityChoiceMovesOnlyAStandardPort_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("portAfter");
    QTest::addColumn<QString>("standard");
    using S = mailcheck::Security;
    QTest::newRow("none to SSL/TLS on 110") << int(S::None) << "110" << int(S::Ssl) << "995"
                                            << "標準(995)";
    QTest::newRow("SSL/TLS to STARTTLS on 995") << int(S::Ssl) << "995" << int(S::StartTls) << "110"
                                                << "標準(110)";
    QTest::newRow("SSL/TLS to none on 995") << int(S::Ssl) << "995" << int(S::None) << "110"
                                            << "標準(110)";
    QTest::newRow("STARTTLS to none keeps 110") << int(S::StartTls) << "110" << int(S::None) << "110"
                                                << "標準(110)";
    QTest::newRow("typed port stays") << int(S::None) << "9995" << int(S::Ssl) << "9995"
                                      << "標準(995)";
    QTest::newRow("995 is no standard for STARTTLS") << int(S::StartTls) << "995" << int(S::Ssl) << "995"
                                                     << "標準(995)";
    QTest::newRow("empty port stays empty") << int(S::None) << "" << int(S::Ssl) << ""
                                            << "標準(995)";
}

void TestAccount::securityChoiceMovesOnlyAStandardPort()
{
    QFETCH(int, from);
    QFETCH(QString, port);
    QFETCH(int, to);
    QFETCH(QString, portAfter);
    QFETCH(QString, standard);
    fillAccount();
    Form1& f1 = form1();
    f1.setSecurity(mailcheck::Security(from));
    f1.Text4->setText(port);
    f1.show();
    f1.Combo1->setCurrentIndex(to);
    emit f1.Combo1->activated(to);
    QCOMPARE(f1.Text4->text(), portAfter);
    QCOMPARE(f1.Label5->text(), standard);
    f1.Command1->click();
    QCOMPARE(Store::read(Store::Key::security), mailcheck::securityWord(mailcheck::Security(to)));
    QCOMPARE(Store::read(Store::Key::port), portAfter);
}

void TestAccount::okWithTypedEntryReplacesPassword()
{
    fillAccount();
    form1().Text7->setText(QStringLiteral("new-secret"));
    form1().Command1->click();
    QCOMPARE(form1().Text3->text(), QStringLiteral("new-secret"));
    QVERIFY(form1().Text7->text().isEmpty());
    QCOMPARE(storedPassword(), QStringLiteral("new-secret"));
    QVERIFY(Store::read(Store::Key::pass) != QStringLiteral("new-secret"));
}

void TestAccount::okChecksTheFieldsInOrder_data()
{
    QTest::addColumn<int>("emptyField");
    QTest::addColumn<QString>("blankValue");
    QTest::addColumn<QString>("result");
    QTest::newRow("server empty") << 1 << ""
                                  << "Please check a account";
    QTest::newRow("account empty") << 2 << ""
                                   << "Please check a account";
    QTest::newRow("password empty") << 3 << ""
                                    << "Please check a account";
    QTest::newRow("port empty") << 4 << ""
                                << "Please check a account";
    QTest::newRow("server blanks only") << 1 << "   "
                                        << "Not Found e-Mail";
    QTest::newRow("port not a number") << 4 << "abc"
                                       << "Not Found e-Mail";
}

void TestAccount::okChecksTheFieldsInOrder()
{
    QFETCH(int, emptyField);
    QFETCH(QString, blankValue);
    QFETCH(QString, result);
    fillAccount();
    Form1& f1 = form1();
    TextBox *fields[] = {nullptr, f1.Text1, f1.Text2, f1.Text3, f1.Text4};
    fields[emptyField]->setText(blankValue);
    f1.Command1->click();
    QCOMPARE(form2().Label1->text(), result);
    // Saved all the same.
    QCOMPARE(Store::read(Store::Key::port), f1.Text4->text());
    QCOMPARE(Store::read(Store::Key::server), f1.Text1->text());
}

void TestAccount::okRestartsStoppedChecking()
{
    fillAccount();
    Form1& f1 = form1();
    f1.Timer1->setInterval(0); // stopped from the menu
    QVERIFY(!f1.Timer1->isRunning());
    f1.Command1->click();
    QCOMPARE(f1.Timer1->interval(), app::seams::checkIntervalMs());
    QVERIFY(f1.Timer1->isRunning());
    QCOMPARE(f1.Timer3->interval(), 1000);
    QVERIFY(f1.Timer3->isRunning());
    // OK does not connect by itself.
    QVERIFY(!f1.Winsock1->isOpen());
}

void TestAccount::okAppliesColours()
{
    fillAccount();
    Form4& f4 = form4();
    f4.Colour[0]->setText(QStringLiteral("255"));
    f4.Colour[1]->setText(QStringLiteral("65280"));
    f4.Colour[2]->setText(QStringLiteral("not a colour"));
    f4.Colour[3]->setText(QStringLiteral("16711680"));
    app::setBackColour(f4.Colourpreview[2], Qt::white);
    form1().Command1->click();
    QCOMPARE(app::foreColour(form2().Label1), QColor(255, 0, 0));
    QCOMPARE(app::foreColour(form2().Label2), QColor(255, 0, 0));
    QCOMPARE(app::backColour(form2().Label3), QColor(0, 255, 0));
    QCOMPARE(app::backColour(f4.Colourpreview[0]), QColor(255, 0, 0));
    QCOMPARE(app::backColour(f4.Colourpreview[2]), QColor(Qt::white));
    QCOMPARE(app::backColour(f4.Colourpreview[3]), QColor(0, 0, 255));
}

void TestAccount::okCutsOffACheckUnderWay()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    fillAccount();
    Form1& f1 = form1();
    f1.Text1->setText(QStringLiteral("127.0.0.1"));
    f1.Text4->setText(QString::number(server.serverPort()));
    f1.startCheck();
    QVERIFY(server.waitForNewConnection(5000));
    QVERIFY(f1.Winsock1->isOpen());
    f1.Command1->click();
    QVERIFY(!f1.Winsock1->isOpen());
    QCOMPARE(form2().Label1->text(), QStringLiteral("Not Found e-Mail"));
}

void TestAccount::cancelKeepsTypedTextUnsaved()
{
    fillAccount();
    Form1& f1 = form1();
    f1.Command1->click();
    f1.show();
    f1.Text1->setText(QStringLiteral("typed.example.test"));
    f1.Text7->setText(QStringLiteral("typed-secret"));
    f1.Command2->click();
    QVERIFY(f1.isHidden());
    QCOMPARE(f1.Text1->text(), QStringLiteral("typed.example.test"));
    QCOMPARE(f1.Text7->text(), QStringLiteral("typed-secret"));
    QCOMPARE(f1.Text3->text(), QStringLiteral("old-secret"));
    QCOMPARE(Store::read(Store::Key::server), QStringLiteral("mail.example.test"));
    QCOMPARE(storedPassword(), QStringLiteral("old-secret"));
}

// Half-typed fields never go out: the tick leaves the line as it is until the window closes.
void TestAccount::noCheckWhileTheWindowIsOpen()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    fillAccount();
    Form1& f1 = form1();
    f1.Text1->setText(QStringLiteral("127.0.0.1"));
    f1.Text4->setText(QString::number(server.serverPort()));
    form2().showResult(QStringLiteral("You have 2 e-Mail\r\n"));
    f1.show();
    f1.Text2->setText(QString());
    f1.Timer1_Timer();
    QVERIFY(!f1.Winsock1->isOpen());
    QCOMPARE(form2().Label1->text(), QStringLiteral("You have 2 e-Mail\r\n"));
    f1.Text2->setText(QStringLiteral("alice"));
    f1.Command2->click();
    f1.Timer1_Timer();
    QVERIFY(server.waitForNewConnection(5000));
}

void TestAccount::closeBoxOnlyHides()
{
    Form1 *before = &form1();
    before->show();
    QVERIFY(QTest::qWaitForWindowExposed(before));
    QVERIFY(!before->close());
    QVERIFY(before->isHidden());
    QCOMPARE(&form1(), before);
    QVERIFY(before->Timer1->isRunning());
    QVERIFY(before->Timer3->isRunning());
}

QTEST_MAIN(TestAccount)
#include "tst_account.moc"
