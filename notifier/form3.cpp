#include "notifier/form3.h"

#include "app/lifecycle.h"
#include "app/links.h"
#include "app/module1.h"
#include "app/windows.h"
#include "dialogs/form4.h"
#include "dialogs/form5.h"
#include "dialogs/frmabout.h"
#include "mailcheck/form1.h"
#include "mailcheck/pop3.h"
#include "mailcheck/timer.h"
#include "notifier/form2.h"
#include "notifier/rules.h"

#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace {

QAction *addItem(QMenu *menu, const char *name, const QString& caption, bool checkable = false)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromUtf8(name));
    action->setCheckable(checkable);
    return action;
}

QAction *addBar(QMenu *menu, const char *name)
{
    QAction *action = menu->addSeparator();
    action->setObjectName(QLatin1String(name));
    return action;
}

// Shown without blocking; a window that is already open comes to the front as it is.
void showModeless(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

Form3::Form3()
{
    setObjectName(QStringLiteral("Form3"));
    mnufile = new QMenu(QStringLiteral("mnufile"), this);
    mnufile->setObjectName(QStringLiteral("mnufile"));
    プロパティ = addItem(mnufile, "プロパティ", QStringLiteral("アカウント設定"));
    オプション設定 = addItem(mnufile, "オプション設定", QStringLiteral("オプション設定"));
    mnuAppMail = addItem(mnufile, "mnuAppMail", QStringLiteral("起動メーラ設定"));
    bar3 = addBar(mnufile, "bar3");
    mnufont = addItem(mnufile, "mnufont", QStringLiteral("常に手前に表示設定"), true);
    shindou = addItem(mnufile, "shindou", QStringLiteral("振動による通知設定"), true);
    checkbeep = addItem(mnufile, "checkbeep", QStringLiteral("Beep音による通知設定"), true);
    checknotify = addItem(mnufile, "checknotify", QStringLiteral("デスクトップ通知による通知設定"), true);
    checkpreview = addItem(mnufile, "checkpreview", QStringLiteral("差出人と件名を表示"), true);
    bar4 = addBar(mnufile, "bar4");
    checkShori = addItem(mnufile, "checkShori", QString::fromUtf16(notifier::kCheckStopCaption));
    bar2 = addBar(mnufile, "bar2");
    終了 = addItem(mnufile, "終了", QStringLiteral("Vurk_メールチェッカーを終了する(&X)"));
    bar5 = addBar(mnufile, "bar5");
    mnuweb = addItem(mnufile, "mnuweb", QStringLiteral("Vurk Development Webサイト(&W)"));
    バージョン情報 = addItem(mnufile, "バージョン情報", QStringLiteral("バージョン情報(&A)"));

    connectItem(プロパティ, &Form3::プロパティ_Click);
    connectItem(オプション設定, &Form3::オプション設定_Click);
    connectItem(mnuAppMail, &Form3::mnuAppMail_Click);
    connectItem(mnufont, &Form3::mnufont_Click);
    connectItem(shindou, &Form3::shindou_Click);
    connectItem(checkbeep, &Form3::checkbeep_Click);
    connectItem(checknotify, &Form3::checknotify_Click);
    connectItem(checkpreview, &Form3::checkpreview_Click);
    connectItem(checkShori, &Form3::checkShori_Click);
    connectItem(終了, &Form3::終了_Click);
    connectItem(mnuweb, &Form3::mnuweb_Click);
    connectItem(バージョン情報, &Form3::バージョン情報_Click);
}

Form3::~Form3() = default;

void Form3::connectItem(QAction *item, void (Form3::*handler)())
{
    connect(item, &QAction::triggered, this, [this, item, handler](bool checked) {
        // The menu flips a check mark before it reports the choice; the handler does the switching.
        if (item->isCheckable())
            item->setChecked(!checked);
        (this->*handler)();
    });
}

void Form3::プロパティ_Click()
{
    form1().showForEditing();
}

void Form3::オプション設定_Click()
{
    showModeless(&form4());
}

void Form3::mnuAppMail_Click()
{
    showModeless(&form5());
}

void Form3::mnufont_Click()
{
    const bool topmost = !mnufont->isChecked();
    mnufont->setChecked(topmost);
    Form2& notifier = form2();
    notifier.setTopmost(topmost);
    if (!topmost)
        notifier.lower();
    // Back from the bottom of the stack after a switch-off.
    showModeless(&notifier);
    notifier.Command1->setFocus();
}

void Form3::shindou_Click()
{
    shindou->setChecked(!shindou->isChecked());
}

void Form3::checkbeep_Click()
{
    checkbeep->setChecked(!checkbeep->isChecked());
}

void Form3::checknotify_Click()
{
    checknotify->setChecked(!checknotify->isChecked());
}

void Form3::checkpreview_Click()
{
    checkpreview->setChecked(!checkpreview->isChecked());
}

void Form3::checkShori_Click()
{
    if (checkShori->text() == QString::fromUtf16(notifier::kCheckStopCaption)) {
        form1().setChecking(false);
        // A check under way ends too, or its result would overwrite "Check Stop".
        form1().stopCheck();
        form2().showResult(QStringLiteral("Check Stop"));
        checkShori->setText(QString::fromUtf16(notifier::kCheckStartCaption));
    } else {
        form2().showResult(QString());
        checkShori->setText(QString::fromUtf16(notifier::kCheckStopCaption));
        form1().setChecking(true);
    }
}

void Form3::終了_Click()
{
    const auto answer = QMessageBox::question(nullptr, QStringLiteral("Vurk_メールチェッカー"),
                                              QStringLiteral("本プログラムを終了します"),
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    // A log-off while the question was open has saved and ended the program already.
    if (answer != QMessageBox::Yes || app::isEnding())
        return;
    Module1::SaveSettingsOnExit();
    app::endProgram();
}

void Form3::mnuweb_Click()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(app::links::kMakerPage)));
}

void Form3::バージョン情報_Click()
{
    showModeless(&aboutWindow());
}
