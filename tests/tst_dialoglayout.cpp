#include "app/colour.h"
#include "app/settingsstore.h"
#include "app/windows.h"
#include "dialogs/form4.h"
#include "dialogs/form5.h"
#include "dialogs/frmabout.h"
#include "mailcheck/form1.h"
#include "notifier/form2.h"
#include "support/reset.h"

#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QtTest>

using FieldTexts = QMap<QString, QString>;

namespace {

// QLineEdit keeps this many pixels free on either side of its text.
constexpr int kLineEditMargin = 2;

QWidget *windowNamed(const QString& name)
{
    if (name == QLatin1String("Form1"))
        return &form1();
    if (name == QLatin1String("Form2"))
        return &form2();
    if (name == QLatin1String("Form4"))
        return &form4();
    if (name == QLatin1String("Form5"))
        return &form5();
    return &aboutWindow();
}

} // namespace

// What the three dialogs have in common: frame, size, place and keyboard; and that the texts of
// every window fit their boxes.
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
    QTest::addColumn<FieldTexts>("texts");
    QTest::newRow("account") << "Form1"
                             << FieldTexts{{"Text1", "pop.example.ne.jp"},
                                           {"Text2", "taro.yamada"},
                                           {"Text7", "pass1234"},
                                           {"Text4", "65535"}};
    QTest::newRow("colours") << "Form4" << FieldTexts{};
    QTest::newRow("mail program") << "Form5" << FieldTexts{{"txtAppMail", "/usr/bin/thunderbird -mail"}};
    QTest::newRow("about") << "frmAbout" << FieldTexts{};
    for (const char *line :
         {"You have 999 e-Mail", "Not Found e-Mail", "Please check a account", "Check Stop", "Login failed",
          "Server busy", "Server error", "Connection failed"})
        QTest::newRow(qPrintable(QStringLiteral("notifier: ") + QLatin1String(line)))
            << "Form2" << FieldTexts{{"Label1", line}, {"Label2", "2026/12/31 23:59:59"}};
}

// Every caption, label and field text shows whole in its box, at the font the window really
// resolves once shown (the designer's font is rarely installed).
void TestDialogLayout::textsFit()
{
    QFETCH(QString, window);
    QFETCH(FieldTexts, texts);
    if (QFontDatabase::families(QFontDatabase::Japanese).isEmpty())
        QSKIP("no Japanese font installed");
    QWidget *w = windowNamed(window);
    if (auto *about = qobject_cast<frmAbout *>(w))
        about->Form_Load();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        QWidget *control = w->findChild<QWidget *>(it.key());
        QVERIFY2(control, qPrintable(it.key()));
        if (auto *edit = qobject_cast<QLineEdit *>(control))
            edit->setText(it.value());
        else
            qobject_cast<QLabel *>(control)->setText(it.value());
    }
    int checked = 0;
    for (QLabel *label : w->findChildren<QLabel *>()) {
        if (label->text().isEmpty())
            continue;
        const QFontMetrics metrics(label->font());
        const QRect box = label->contentsRect();
        const QString what = label->objectName() + QLatin1Char(' ') + QFontInfo(label->font()).family();
        if (label->wordWrap()) {
            QVERIFY2(label->heightForWidth(box.width()) <= box.height(), qPrintable(what));
        } else {
            QVERIFY2(metrics.horizontalAdvance(label->text().trimmed()) <= box.width(), qPrintable(what));
            QVERIFY2(metrics.height() <= box.height(), qPrintable(what));
        }
        ++checked;
    }
    for (QPushButton *button : w->findChildren<QPushButton *>()) {
        if (button->text().isEmpty())
            continue;
        const QFontMetrics metrics(button->font());
        // The room the style itself asks around a caption: its margin and the frame on both sides.
        QStyleOptionButton option;
        option.initFrom(button);
        const int frame = 2 * button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, button);
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
        const QString what = button->objectName() + QLatin1Char(' ') + QFontInfo(button->font()).family();
        QVERIFY2(metrics.horizontalAdvance(button->text()) + margin + frame <= button->width(),
                 qPrintable(what));
        QVERIFY2(metrics.height() + frame <= button->height(), qPrintable(what));
        ++checked;
    }
    // Every entry of a choice, as the closed box shows it.
    for (QComboBox *box : w->findChildren<QComboBox *>()) {
        QStyleOptionComboBox option;
        option.initFrom(box);
        option.editable = false;
        option.frame = true;
        const QRect shown =
            box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
        const QFontMetrics metrics(box->font());
        for (int i = 0; i < box->count(); ++i) {
            const QString what = box->objectName() + QLatin1Char(' ') + box->itemText(i);
            QVERIFY2(metrics.horizontalAdvance(box->itemText(i)) <= shown.width(), qPrintable(what));
        }
        QVERIFY2(metrics.height() <= shown.height(), qPrintable(box->objectName()));
        ++checked;
    }
    for (QLineEdit *edit : w->findChildren<QLineEdit *>()) {
        if (!edit->isVisible() || edit->text().isEmpty())
            continue;
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
        const QRect contents =
            edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit) - edit->textMargins();
        const QFontMetrics metrics(edit->font());
        const QString shown = edit->echoMode() == QLineEdit::Password ? edit->displayText() : edit->text();
        const QString what = edit->objectName() + QLatin1Char(' ') + QFontInfo(edit->font()).family();
        QVERIFY2(metrics.horizontalAdvance(shown) <= contents.width() - 2 * kLineEditMargin,
                 qPrintable(what));
        QVERIFY2(metrics.height() <= contents.height(), qPrintable(what));
        ++checked;
    }
    QVERIFY(checked >= texts.size());
    // No control hides part of another (the notifier's panel lies under its texts, and the about
    // window's rules run across, by design).
    if (window == QLatin1String("Form2"))
        return;
    QList<QWidget *> shown;
    for (QWidget *child : w->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const bool rule = child->objectName().startsWith(QLatin1String("Line"));
        if (child->isVisible() && !rule)
            shown << child;
    }
    for (qsizetype i = 0; i < shown.size(); ++i) {
        for (qsizetype j = i + 1; j < shown.size(); ++j)
            QVERIFY2(
                !shown[i]->geometry().intersects(shown[j]->geometry()),
                qPrintable(shown[i]->objectName() + QStringLiteral(" overlaps ") + shown[j]->objectName()));
    }
}

QTEST_MAIN(TestDialogLayout)
#include "tst_dialoglayout.moc"
