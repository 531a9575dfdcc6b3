#include "app/settingsstore.h"
#include "app/textbox.h"
#include "app/windows.h"
#include "dialogs/form5.h"
#include "support/reset.h"
#include "support/settingsfile.h"

#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

using testsupport::isStored;

namespace {

void storeMailer(const QString& path)
{
    Store::write(Store::Key::mailer, path);
    QVERIFY(Store::commit());
}

} // namespace

// The mail program dialog: OK stores, cancel only hides, the close box destroys the field.
class TestForm5 : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QFile::remove(Store::filePath());
        storeMailer(QStringLiteral("/usr/bin/old-mailer"));
    }

    void cleanup() { testsupport::resetProgram(); }

    void okStoresTheTextAsTyped_data();
    void okStoresTheTextAsTyped();
    void cancelKeepsTheTypedTextUnstored();
    void closeBoxDestroysTheField();
    void closingAnUnloadedDialogSparesItsSuccessor();
};

void TestForm5::okStoresTheTextAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("empty") << "";
    QTest::newRow("only spaces") << "   ";
    QTest::newRow("program with arguments") << "thunderbird -mail";
    QTest::newRow("quoted path with spaces") << "\"/opt/My Mail/bin/mail\" --compose";
    QTest::newRow("Japanese path") << "/home/ユーザー/メーラ";
}

void TestForm5::okStoresTheTextAsTyped()
{
    QFETCH(QString, typed);
    form5().show();
    form5().txtAppMail->setText(typed);
    form5().Command1->click();
    QVERIFY(!form5().isVisible());
    QVERIFY(isStored(Store::Key::mailer));
    QCOMPARE(Store::read(Store::Key::mailer), typed);
    QCOMPARE(form5().txtAppMail->text(), typed);
}

void TestForm5::cancelKeepsTheTypedTextUnstored()
{
    form5().txtAppMail->setText(QStringLiteral("/usr/bin/old-mailer"));
    form5().show();
    form5().txtAppMail->clear();
    QTest::keyClicks(form5().txtAppMail->widget(), QStringLiteral("/usr/bin/new-mailer"));
    form5().Command2->click();
    QVERIFY(!form5().isVisible());
    QCOMPARE(form5().txtAppMail->text(), QStringLiteral("/usr/bin/new-mailer"));
    QCOMPARE(Store::read(Store::Key::mailer), QStringLiteral("/usr/bin/old-mailer"));
}

// After the close box the program reads an empty command line although one is stored.
void TestForm5::closeBoxDestroysTheField()
{
    QPointer<Form5> dialog = &form5();
    dialog->txtAppMail->setText(QStringLiteral("/usr/bin/old-mailer"));
    dialog->show();
    QVERIFY(dialog->close());
    QVERIFY(!form5Exists());
    testsupport::destroyUnloaded();
    QVERIFY(!dialog);

    QVERIFY(form5().txtAppMail->text().isEmpty());
    QVERIFY(!form5().isVisible());
    QCOMPARE(Store::read(Store::Key::mailer), QStringLiteral("/usr/bin/old-mailer"));
}

void TestForm5::closingAnUnloadedDialogSparesItsSuccessor()
{
    QPointer<Form5> old = &form5();
    QVERIFY(old->close());
    Form5& fresh = form5();
    fresh.txtAppMail->setText(QStringLiteral("typed again"));
    QVERIFY(old);
    old->close();
    QVERIFY(form5Exists());
    QCOMPARE(&form5(), &fresh);
    QCOMPARE(form5().txtAppMail->text(), QStringLiteral("typed again"));
}

QTEST_MAIN(TestForm5)
#include "tst_form5.moc"
