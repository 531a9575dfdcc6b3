#include "app/colour.h"
#include "app/module1.h"
#include "app/settingsstore.h"
#include "app/textbox.h"
#include "app/windows.h"
#include "dialogs/form4.h"
#include "dialogs/form5.h"
#include "mailcheck/form1.h"
#include "notifier/form2.h"
#include "notifier/form3.h"
#include "support/reset.h"
#include "support/settingsfile.h"

#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QtTest>

using Settings = QMap<QString, QString>;
Q_DECLARE_METATYPE(Settings)

// Start-up against prepared settings files: every stored value reaches its control, the defaults
// fill the gaps, and start-up never writes the store.
class StartupTest : public QObject {
    Q_OBJECT

private:
    void startWith(const Settings& stored)
    {
        testsupport::clearSettingsFile();
        if (!stored.isEmpty())
            testsupport::writeSettings(stored);
        m_before = testsupport::settingsFileBytes();
        m_existed = QFileInfo::exists(Store::filePath());
        QVERIFY(Module1::Main());
    }

    void verifyNothingWritten()
    {
        QCOMPARE(QFileInfo::exists(Store::filePath()), m_existed);
        QCOMPARE(testsupport::settingsFileBytes(), m_before);
    }

    QByteArray m_before;
    bool m_existed = false;

private slots:
    void cleanup() { testsupport::resetProgram(); }

    void emptyStore()
    {
        startWith({});
        QVERIFY(!form3().mnufont->isChecked());
        QVERIFY(!form3().shindou->isChecked());
        QVERIFY(!form3().checkbeep->isChecked());
        QVERIFY(!form3().checknotify->isChecked());
        QVERIFY(!form3().checkpreview->isChecked());
        for (TextBox *field : {form1().Text1, form1().Text2, form1().Text3, form1().Text4, form1().Text5,
                               form1().Text6, form1().Text7})
            QVERIFY2(field->text().isEmpty(), qPrintable(field->objectName()));
        QVERIFY(form5().txtAppMail->text().isEmpty());

        QCOMPARE(form2().pixelPosition(), QPoint(351, 276));
        QCOMPARE(form2().Left(), 5265.0);
        QCOMPARE(form2().Top(), 4140.0);
        QVERIFY(!(form2().windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(form2().isVisible());
        QVERIFY(!form1().isVisible());
        QVERIFY(!form4().isVisible());
        QVERIFY(!form5().isVisible());
        QVERIFY(!aboutWindowExists());

        QCOMPARE(app::foreColour(form2().Label1), QColor(Qt::black));
        QCOMPARE(app::foreColour(form2().Label2), QColor(Qt::black));
        QCOMPARE(app::backColour(form2().Label3), QColor(176, 189, 190));
        const QStringList defaults = {"0", "12500400", "16304788", "16737380"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(form4().Colour[i]->text(), defaults[i]);
            QCOMPARE(app::valueFromColour(app::backColour(form4().Colourpreview[i])), defaults[i].toInt());
        }

        QCOMPARE(form2().Label1->text(), QStringLiteral("Please check a account"));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}$"))
                    .match(form2().Label2->text())
                    .hasMatch());
        QCOMPARE(popState, QStringLiteral("connect"));
        verifyNothingWritten();
    }

    void switches_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("checked");
        QTest::newRow("True") << "True" << true;
        QTest::newRow("true") << "true" << true;
        QTest::newRow("TRUE") << "TRUE" << true;
        QTest::newRow("-1") << "-1" << true;
        QTest::newRow("7") << "7" << true;
        QTest::newRow("False") << "False" << false;
        QTest::newRow("false") << "false" << false;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("yes") << "yes" << false;
    }

    void switches()
    {
        QFETCH(QString, stored);
        QFETCH(bool, checked);
        startWith({{Store::Key::front, stored},
                   {Store::Key::shindou, stored},
                   {Store::Key::checkbeep, stored},
                   {Store::Key::notify, stored},
                   {Store::Key::preview, stored}});
        QCOMPARE(form3().mnufont->isChecked(), checked);
        QCOMPARE(form3().shindou->isChecked(), checked);
        QCOMPARE(form3().checkbeep->isChecked(), checked);
        QCOMPARE(form3().checknotify->isChecked(), checked);
        QCOMPARE(form3().checkpreview->isChecked(), checked);
        // Always on top from the first appearance when the switch is stored on.
        QCOMPARE(bool(form2().windowFlags() & Qt::WindowStaysOnTopHint), checked);
        verifyNothingWritten();
    }

    void accountAndPosition()
    {
        startWith({{Store::Key::server, "127.0.0.1"},
                   {Store::Key::user, "taro"},
                   {Store::Key::pass, ""},
                   {Store::Key::port, "995"},
                   {Store::Key::top, "1500"},
                   {Store::Key::left, "3000"},
                   {Store::Key::mailer, "thunderbird -mail"}});
        QCOMPARE(form1().Text1->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(form1().Text2->text(), QStringLiteral("taro"));
        QCOMPARE(form1().Text4->text(), QStringLiteral("995"));
        QCOMPARE(form1().Text5->text(), QStringLiteral("1500"));
        QCOMPARE(form1().Text6->text(), QStringLiteral("3000"));
        QCOMPARE(form5().txtAppMail->text(), QStringLiteral("thunderbird -mail"));
        QCOMPARE(form2().pixelPosition(), QPoint(200, 100));
        // The password is the only empty field, and the keyring may hold it: start-up does not wait
        // for the keyring, so it claims nothing; the first check asks it (here no keyring runs).
        QCOMPARE(form2().Label1->text(), QStringLiteral("Not Found e-Mail"));
        QTRY_COMPARE(form2().Label1->text(), QStringLiteral("Please check a account"));
        QVERIFY2(form2().toolTip().contains(QStringLiteral("keyring")), qPrintable(form2().toolTip()));
        verifyNothingWritten();
    }

    void positionThatDoesNotConvert()
    {
        startWith({{Store::Key::top, "abc"}, {Store::Key::left, "2250"}});
        QCOMPARE(form2().pixelPosition(), QPoint(150, 276));
    }

    void storedPlaceComesBackOnScreen_data()
    {
        QTest::addColumn<QString>("top");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QPoint>("place");
        QTest::addColumn<QString>("topField");
        QTest::addColumn<QString>("leftField");
        // The test screen's available area, whatever its size.
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const QPoint far(area.right() + 1 - 121, area.bottom() + 1 - 37);
        const QString farTop = QString::number(far.y() * 15), farLeft = QString::number(far.x() * 15);
        QTest::newRow("visible: as stored") << "1500.4"
                                            << "3000" << QPoint(200, 100) << "1500.4"
                                            << "3000";
        QTest::newRow("at the bottom-right edge: as stored") << farTop << farLeft << far << farTop << farLeft;
        QTest::newRow("off to the right and below") << "150000"
                                                    << "300000" << far << farTop << farLeft;
        QTest::newRow("negative") << "-3000"
                                  << "-1500" << area.topLeft() << "0"
                                  << "0";
        QTest::newRow("huge") << "1e30"
                              << "-1e30" << QPoint(area.left(), far.y()) << farTop << "0";
        QTest::newRow("partly visible")
            << "1500" << QString::number((far.x() + 60) * 15) << QPoint(far.x(), 100) << "1500" << farLeft;
    }

    // A place where the notifier would not be seen whole is moved to the nearest place where it is,
    // and the hidden fields hold the new place; a visible one stays exactly as stored. Start-up
    // still writes nothing.
    void storedPlaceComesBackOnScreen()
    {
        QFETCH(QString, top);
        QFETCH(QString, left);
        QFETCH(QPoint, place);
        QFETCH(QString, topField);
        QFETCH(QString, leftField);
        startWith({{Store::Key::top, top}, {Store::Key::left, left}});
        QCOMPARE(form2().pixelPosition(), place);
        QCOMPARE(form1().Text5->text(), topField);
        QCOMPARE(form1().Text6->text(), leftField);
        verifyNothingWritten();
    }

    void completeness_data()
    {
        QTest::addColumn<Settings>("stored");
        QTest::addColumn<QString>("status");
        const Settings full = {{Store::Key::server, "127.0.0.1"},
                               {Store::Key::user, "u"},
                               {Store::Key::pass, "p"},
                               {Store::Key::port, "1"}};
        QTest::newRow("all filled") << full << "Not Found e-Mail";
        for (const QLatin1String key :
             {Store::Key::server, Store::Key::user, Store::Key::pass, Store::Key::port}) {
            Settings missing = full;
            missing.remove(QString(key));
            // Without `pass` in the file the password may be in the keyring, for the check to read.
            QTest::newRow(qPrintable(QStringLiteral("no ") + key))
                << missing << (key == Store::Key::pass ? "Not Found e-Mail" : "Please check a account");
        }
        Settings blank = full;
        blank[Store::Key::server] = " ";
        QTest::newRow("server of blanks counts as filled") << blank << "Not Found e-Mail";
    }

    void completeness()
    {
        QFETCH(Settings, stored);
        QFETCH(QString, status);
        startWith(stored);
        QCOMPARE(form2().Label1->text(), status);
    }

    void colours()
    {
        // Only the text colour's key decides between stored and default colours.
        startWith({{Store::Key::colour[0], "255"}});
        QCOMPARE(app::foreColour(form2().Label1), QColor(255, 0, 0));
        QCOMPARE(app::foreColour(form2().Label2), QColor(255, 0, 0));
        QCOMPARE(app::backColour(form4().Colourpreview[0]), QColor(255, 0, 0));
        QVERIFY(form4().Colour[1]->text().isEmpty());
        QVERIFY(app::backColour(form2().Label3) != QColor(176, 189, 190));
        verifyNothingWritten();
        cleanup();

        startWith({{Store::Key::colour[0], ""},
                   {Store::Key::colour[1], "255"},
                   {Store::Key::colour[2], "1"},
                   {Store::Key::colour[3], "2"}});
        QCOMPARE(form4().Colour[1]->text(), QStringLiteral("12500400"));
        QCOMPARE(app::backColour(form2().Label3), QColor(176, 189, 190));
        cleanup();

        startWith({{Store::Key::colour[0], "65280"},
                   {Store::Key::colour[1], "blue"},
                   {Store::Key::colour[2], "16711680"},
                   {Store::Key::colour[3], "x"}});
        QCOMPARE(app::foreColour(form2().Label1), QColor(0, 255, 0));
        QCOMPARE(form4().Colour[1]->text(), QStringLiteral("blue"));
        QVERIFY(app::backColour(form2().Label3) != QColor(0, 0, 255));
        QCOMPARE(app::backColour(form4().Colourpreview[2]), QColor(0, 0, 255));
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
