#include "app/colour.h"
#include "app/settingsstore.h"
#include "app/textbox.h"
#include "app/windows.h"
#include "dialogs/form4.h"
#include "notifier/form2.h"
#include "support/reset.h"
#include "support/settingsfile.h"

#include <QColorDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QtTest>

using testsupport::isStored;

namespace {

const QStringList kDefaultTexts{"0", "12500400", "16304788", "16737380"};

QLatin1String key(int slot)
{
    return Store::Key::colour[size_t(slot)];
}

// What the chooser saw when it opened.
struct Opening {
    QColor current;
    QList<QColor> custom;
    bool nonNative = false;
    QWidget *owner = nullptr;
};

} // namespace

// The colour options dialog: picking, defaults, OK, cancel and the close box, against the notifier
// and the settings file.
class TestForm4 : public QObject {
    Q_OBJECT

private:
    QList<Opening> m_openings;

    // The chooser answers with a colour, or cancels when none is given, and records how it was set up.
    void answerChooser(std::optional<QColor> answer)
    {
        Form4::runChooser = [this, answer](QColorDialog& chooser) {
            Opening seen{chooser.currentColor(),
                         {},
                         chooser.testOption(QColorDialog::DontUseNativeDialog),
                         chooser.parentWidget()};
            for (int i = 0; i < QColorDialog::customCount(); ++i)
                seen.custom.append(QColorDialog::customColor(i));
            m_openings.append(seen);
            // What a user might leave behind: a custom colour of their own.
            QColorDialog::setCustomColor(3, Qt::red);
            if (answer) {
                chooser.setCurrentColor(*answer);
                chooser.accept();
            } else {
                chooser.reject();
            }
        };
    }

    // Fields and notifier in a known state that differs from the defaults.
    void startWith(const QStringList& texts)
    {
        for (int i = 0; i < 4; ++i) {
            form4().Colour[i]->setText(texts[i]);
            app::setBackColourText(form4().Colourpreview[i], texts[i]);
        }
        app::setForeColour(form2().Label1, QColor(10, 20, 30));
        app::setForeColour(form2().Label2, QColor(10, 20, 30));
        app::setBackColour(form2().Label3, QColor(40, 50, 60));
    }

    void verifyNotifierUntouched()
    {
        QCOMPARE(app::foreColour(form2().Label1), QColor(10, 20, 30));
        QCOMPARE(app::foreColour(form2().Label2), QColor(10, 20, 30));
        QCOMPARE(app::backColour(form2().Label3), QColor(40, 50, 60));
    }

private slots:
    void init()
    {
        QFile::remove(Store::filePath());
        m_openings.clear();
        answerChooser(std::nullopt);
        startWith({"1", "2", "3", "4"});
    }

    void cleanup() { testsupport::resetProgram(); }

    void pickThenCancel_data();
    void pickThenCancel();
    void cancelledChooserChangesNothing();
    void chooserStartsBlackEveryTime();
    void realChooserIsModalOverTheDialog();
    void swatchClicks_data();
    void swatchClicks();
    void defaultsThenCancel();
    void defaultsThenOk();
    void okWithTextsThatDoNotConvert_data();
    void okWithTextsThatDoNotConvert();
    void closeBoxStoresAndKeepsTheDialog();
};

void TestForm4::pickThenCancel_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QColor>("picked");
    QTest::addColumn<QString>("text");
    QTest::newRow("text colour white") << 0 << QColor(255, 255, 255) << "16777215";
    QTest::newRow("panel black") << 1 << QColor(0, 0, 0) << "0";
    QTest::newRow("flashing A, red in the low byte") << 2 << QColor(1, 2, 3) << "197121";
    QTest::newRow("flashing B pure blue") << 3 << QColor(0, 0, 255) << "16711680";
}

// The pick is live at once (other parts read the field) but stored only by the close box.
void TestForm4::pickThenCancel()
{
    QFETCH(int, slot);
    QFETCH(QColor, picked);
    QFETCH(QString, text);
    answerChooser(picked);
    form4().show();
    form4().Colourpreview_Click(slot);
    QCOMPARE(form4().Colour[slot]->text(), text);
    QCOMPARE(app::backColour(form4().Colourpreview[slot]), picked);

    form4().Command2->click();
    QVERIFY(!form4().isVisible());
    QCOMPARE(form4().Colour[slot]->text(), text);
    QVERIFY(!isStored(key(slot)));
    verifyNotifierUntouched();

    form4().show();
    QVERIFY(!form4().close());
    QCOMPARE(Store::read(key(slot)), text);
}

void TestForm4::cancelledChooserChangesNothing()
{
    form4().Colourpreview_Click(2);
    QCOMPARE(m_openings.size(), 1);
    QCOMPARE(form4().Colour[2]->text(), QStringLiteral("3"));
    QCOMPARE(app::backColour(form4().Colourpreview[2]), app::colourFromValue(3));
}

// No preset colour and 16 black custom colours at every opening, whatever the slot holds and
// whatever the previous opening left behind.
void TestForm4::chooserStartsBlackEveryTime()
{
    QColorDialog::setCustomColor(7, Qt::green);
    form4().Colour[1]->setText(QStringLiteral("12500400"));
    answerChooser(QColor(200, 100, 50));
    form4().Colourpreview_Click(1);
    form4().Colourpreview_Click(1);
    QCOMPARE(m_openings.size(), 2);
    for (const Opening& opening : std::as_const(m_openings)) {
        QCOMPARE(opening.current, QColor(Qt::black));
        QCOMPARE(opening.custom, QList<QColor>(16, QColor(Qt::black)));
        QVERIFY(opening.nonNative);
        QCOMPARE(opening.owner, &form4());
    }
}

// The shipped runner: Qt's own chooser, modal, answered from inside its event loop.
void TestForm4::realChooserIsModalOverTheDialog()
{
    Form4::runChooser = [](QColorDialog& chooser) { chooser.exec(); };
    bool wasModal = false;
    QTimer::singleShot(0, this, [&wasModal] {
        auto *chooser = form4().findChild<QColorDialog *>();
        if (!chooser)
            return;
        wasModal = chooser->isVisible() && QApplication::activeModalWidget() == chooser;
        chooser->setCurrentColor(QColor(148, 202, 248));
        chooser->accept();
    });
    form4().show();
    form4().Colourpreview_Click(0);
    QVERIFY(wasModal);
    QCOMPARE(form4().Colour[0]->text(), QStringLiteral("16304788"));
    QVERIFY(!form4().findChild<QColorDialog *>());
}

void TestForm4::swatchClicks_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("opens");
    QTest::newRow("left on slot 0") << 0 << Qt::LeftButton << true;
    QTest::newRow("left on slot 3") << 3 << Qt::LeftButton << true;
    QTest::newRow("right on slot 1") << 1 << Qt::RightButton << false;
}

void TestForm4::swatchClicks()
{
    QFETCH(int, slot);
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, opens);
    answerChooser(QColor(9, 9, 9));
    form4().show();
    QTest::mouseClick(form4().Colourpreview[slot], button);
    QCOMPARE(m_openings.size(), opens ? 1 : 0);
    for (int i = 0; i < 4; ++i) {
        const bool picked = opens && i == slot;
        QCOMPARE(form4().Colour[i]->text(), picked ? QStringLiteral("592137") : QString::number(i + 1));
    }
}

void TestForm4::defaultsThenCancel()
{
    form4().show();
    form4().Command4->click();
    QVERIFY(form4().isVisible());
    form4().Command2->click();
    QVERIFY(!form4().isVisible());
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(form4().Colour[i]->text(), kDefaultTexts[i]);
        QCOMPARE(app::backColour(form4().Colourpreview[i]), app::colourFromValue(kDefaultTexts[i].toInt()));
        QVERIFY(!isStored(key(i)));
    }
    verifyNotifierUntouched();
}

void TestForm4::defaultsThenOk()
{
    form4().show();
    form4().Command4->click();
    form4().Command1->click();
    QVERIFY(!form4().isVisible());
    QCOMPARE(app::foreColour(form2().Label1), QColor(Qt::black));
    QCOMPARE(app::foreColour(form2().Label2), QColor(Qt::black));
    QCOMPARE(app::backColour(form2().Label3), QColor(176, 189, 190));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(Store::read(key(i)), kDefaultTexts[i]);
}

void TestForm4::okWithTextsThatDoNotConvert_data()
{
    QTest::addColumn<QString>("text0");
    QTest::addColumn<QString>("text1");
    QTest::addColumn<QColor>("fore");
    QTest::addColumn<QColor>("back");
    const QColor oldFore(10, 20, 30);
    const QColor oldBack(40, 50, 60);
    QTest::newRow("both empty") << ""
                                << "" << oldFore << oldBack;
    QTest::newRow("hand-edited words") << "red"
                                       << "0x00ff00" << oldFore << oldBack;
    QTest::newRow("text bad, panel good") << "1.5"
                                          << "255" << oldFore << QColor(255, 0, 0);
    QTest::newRow("text good, panel bad") << "65280"
                                          << " " << QColor(0, 255, 0) << oldBack;
}

// Each colour stands alone: a text that does not convert keeps that colour and spoils no other.
void TestForm4::okWithTextsThatDoNotConvert()
{
    QFETCH(QString, text0);
    QFETCH(QString, text1);
    QFETCH(QColor, fore);
    QFETCH(QColor, back);
    form4().Colour[0]->setText(text0);
    form4().Colour[1]->setText(text1);
    form4().Command1_Click();
    QCOMPARE(app::foreColour(form2().Label1), fore);
    QCOMPARE(app::foreColour(form2().Label2), fore);
    QCOMPARE(app::backColour(form2().Label3), back);
    QCOMPARE(Store::read(key(0)), text0);
    QCOMPARE(Store::read(key(1)), text1);
}

void TestForm4::closeBoxStoresAndKeepsTheDialog()
{
    QPointer<Form4> dialog = &form4();
    dialog->show();
    QVERIFY(!dialog->close());
    QVERIFY(!dialog->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(dialog);
    QCOMPARE(&form4(), dialog.data());
    for (int i = 0; i < 4; ++i)
        QCOMPARE(Store::read(key(i)), QString::number(i + 1));
    verifyNotifierUntouched();

    dialog->show();
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->Colour[3]->text(), QStringLiteral("4"));
}

QTEST_MAIN(TestForm4)
#include "tst_form4.moc"
