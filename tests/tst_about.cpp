#include "app/links.h"
#include "app/windows.h"
#include "dialogs/frmabout.h"
#include "support/reset.h"
#include "version.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

namespace {

int aboutWindowCount()
{
    int count = 0;
    for (QWidget *window : QApplication::topLevelWidgets())
        count += qobject_cast<frmAbout *>(window) != nullptr;
    return count;
}

} // namespace

// The about window: what it shows, how it closes, and that each opening after a close is fresh.
class TestAbout : public QObject {
    Q_OBJECT

private:
    QList<QUrl> m_opened;
    bool m_browserStarts = true;

private slots:
    void init()
    {
        m_opened.clear();
        m_browserStarts = true;
        frmAbout::openLink = [this](const QUrl& url) {
            m_opened.append(url);
            return m_browserStarts;
        };
    }

    void cleanup() { testsupport::resetProgram(); }

    void titleVersionAndLogo();
    void secondOpeningShowsTheSameWindow();
    void everyWayOfClosingDestroys_data();
    void everyWayOfClosingDestroys();
    void closingAnUnloadedWindowSparesItsSuccessor();
    void addressClick_data();
    void addressClick();
};

void TestAbout::titleVersionAndLogo()
{
    frmAbout& about = aboutWindow();
    QCOMPARE(about.windowTitle(), QStringLiteral("vurk_mailchecker （ﾊﾞｰｼﾞｮﾝ情報）"));
    QCOMPARE(about.lblVersion->text(),
             QStringLiteral("Vurk_メールチェッカー Version.") + QLatin1String(VURK_VERSION));
    QVERIFY(about.lblVersion->font().bold());
    // The picture comes from the library's resources, which a static link can lose.
    QCOMPARE(about.Image1->pixmap().size(), QSize(94, 58));
    QVERIFY(!about.windowIcon().isNull());
    QVERIFY(QString::fromLatin1(app::links::kAboutShownAddress).contains(about.Label2->text()));
}

void TestAbout::secondOpeningShowsTheSameWindow()
{
    QPointer<frmAbout> first = &aboutWindow();
    first->show();
    aboutWindow().show();
    QCOMPARE(&aboutWindow(), first.data());
    QCOMPARE(aboutWindowCount(), 1);
    QVERIFY(first->isVisible());
}

void TestAbout::everyWayOfClosingDestroys_data()
{
    QTest::addColumn<int>("key"); // 0: the OK button, -1: the close box
    QTest::newRow("OK button") << 0;
    QTest::newRow("close box") << -1;
    QTest::newRow("Enter") << int(Qt::Key_Enter);
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void TestAbout::everyWayOfClosingDestroys()
{
    QFETCH(int, key);
    QPointer<frmAbout> first = &aboutWindow();
    first->show();
    if (key == 0)
        first->cmdOK->click();
    else if (key == -1)
        QVERIFY(first->close());
    else
        QTest::keyClick(first.data(), Qt::Key(key));
    QVERIFY(!first->isVisible());
    QVERIFY(!aboutWindowExists());
    testsupport::destroyUnloaded();
    QVERIFY(!first);

    frmAbout& fresh = aboutWindow();
    QCOMPARE(fresh.windowTitle(), QStringLiteral("vurk_mailchecker （ﾊﾞｰｼﾞｮﾝ情報）"));
    QVERIFY(!fresh.lblVersion->text().isEmpty());
    QVERIFY(!fresh.isVisible());
}

void TestAbout::closingAnUnloadedWindowSparesItsSuccessor()
{
    QPointer<frmAbout> old = &aboutWindow();
    old->cmdOK->click();
    frmAbout& fresh = aboutWindow();
    fresh.show();
    QVERIFY(old);
    old->close();
    QVERIFY(aboutWindowExists());
    QCOMPARE(&aboutWindow(), &fresh);
    QVERIFY(fresh.isVisible());
}

void TestAbout::addressClick_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("browserStarts");
    QTest::addColumn<int>("openings");
    QTest::newRow("left click") << Qt::LeftButton << true << 1;
    QTest::newRow("left click, no browser") << Qt::LeftButton << false << 1;
    QTest::newRow("right click") << Qt::RightButton << true << 0;
}

// The click opens the maker's other page, never the one the label shows; a missing browser is
// no reason to close anything.
void TestAbout::addressClick()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, browserStarts);
    QFETCH(int, openings);
    m_browserStarts = browserStarts;
    aboutWindow().show();
    QTest::mouseClick(aboutWindow().Label2, button);
    QCOMPARE(m_opened.size(), openings);
    for (const QUrl& url : std::as_const(m_opened)) {
        QCOMPARE(url, QUrl(QString::fromLatin1(app::links::kAboutLinkPage)));
        QVERIFY(url != QUrl(QString::fromLatin1(app::links::kAboutShownAddress)));
    }
    QVERIFY(aboutWindowExists());
    QVERIFY(aboutWindow().isVisible());
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
