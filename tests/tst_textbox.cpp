#include "app/module1.h"
#include "app/textbox.h"
#include "app/twips.h"
#include "app/windows.h"
#include "dialogs/form4.h"
#include "dialogs/form5.h"
#include "mailcheck/form1.h"
#include "support/reset.h"
#include "support/settingsfile.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

// Text fields keep their text until their window is first shown, then hand it to a line edit.
class TestTextBox : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { testsupport::resetProgram(); }

    void textMovesIntoTheLineEdit()
    {
        QWidget window;
        auto *box = new TextBox(&window, QStringLiteral("Text1"), QRect(1350, 120, 2895, 270));
        box->setText(QStringLiteral("pop.example.test"));
        box->setEchoMode(QLineEdit::Password);
        QVERIFY(!box->hasWidget());
        QVERIFY(window.findChildren<QLineEdit *>().isEmpty());

        QLineEdit *edit = box->widget();
        QCOMPARE(box->widget(), edit);
        QCOMPARE(edit->objectName(), QStringLiteral("Text1"));
        QCOMPARE(edit->text(), QStringLiteral("pop.example.test"));
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
        QCOMPARE(edit->geometry(), QRect(app::twipsToPixelsX(1350), app::twipsToPixelsY(120),
                                         app::twipsToPixelsX(2895), app::twipsToPixelsY(270)));

        // From now on the line edit holds the text, what the user types included.
        edit->setText(QStringLiteral("typed"));
        QCOMPARE(box->text(), QStringLiteral("typed"));
        box->setText(QStringLiteral("set"));
        QCOMPARE(edit->text(), QStringLiteral("set"));
        box->setEchoMode(QLineEdit::Normal);
        QCOMPARE(edit->echoMode(), QLineEdit::Normal);
        box->clear();
        QVERIFY(edit->text().isEmpty());
    }

    void hiddenAndLateFields()
    {
        QWidget window;
        TextBox *hidden = TextBox::hidden(&window, QStringLiteral("Text5"));
        hidden->setText(QStringLiteral("4140"));
        window.show();
        QVERIFY(!hidden->hasWidget());
        QLineEdit *edit = hidden->widget();
        QVERIFY(edit->isHidden());
        QCOMPARE(edit->focusPolicy(), Qt::NoFocus);
        QCOMPARE(hidden->text(), QStringLiteral("4140"));

        // A shown field asked for after its window is up shows with it.
        auto *late = new TextBox(&window, QStringLiteral("Text2"), QRect(0, 0, 600, 270));
        QVERIFY(late->widget()->isVisible());
    }

    // Start-up fills the hidden windows' fields without making a single line edit: that would load
    // the fonts before the notifier can be shown.
    void startUpMakesNoLineEdit()
    {
        testsupport::clearSettingsFile();
        testsupport::writeSettings({{Store::Key::server, QStringLiteral("pop.example.test")},
                                    {Store::Key::mailer, QStringLiteral("/usr/bin/mailer")}});
        QVERIFY(Module1::Main());
        QVERIFY(form1().findChildren<QLineEdit *>().isEmpty());
        QVERIFY(form4().findChildren<QLineEdit *>().isEmpty());
        QVERIFY(form5().findChildren<QLineEdit *>().isEmpty());
        QCOMPARE(form1().Text1->text(), QStringLiteral("pop.example.test"));
        QCOMPARE(form5().txtAppMail->text(), QStringLiteral("/usr/bin/mailer"));

        // Shown, the dialogs have their line edits with the text, and the first focus as before.
        form1().show();
        QCOMPARE(form1().Text1->widget()->text(), QStringLiteral("pop.example.test"));
        QVERIFY(form1().Text1->widget()->isVisible());
        QVERIFY(!form1().Text3->hasWidget());
        form5().show();
        QCOMPARE(form5().txtAppMail->widget()->text(), QStringLiteral("/usr/bin/mailer"));
        QCOMPARE(form5().Command2->nextInFocusChain(), form5().Command1);
        QCOMPARE(form5().Command1->nextInFocusChain(), form5().txtAppMail->widget());
    }
};

QTEST_MAIN(TestTextBox)
#include "tst_textbox.moc"
