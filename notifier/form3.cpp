#include "notifier/form3.h"

#include <QAction>
#include <QMenu>

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
    bar4 = addBar(mnufile, "bar4");
    checkShori = addItem(mnufile, "checkShori", QStringLiteral("チェック停止(&S)"));
    bar2 = addBar(mnufile, "bar2");
    終了 = addItem(mnufile, "終了", QStringLiteral("Vurk_メールチェッカーを終了する(&X)"));
    bar5 = addBar(mnufile, "bar5");
    mnuweb = addItem(mnufile, "mnuweb", QStringLiteral("Vurk Development Webサイト(&W)"));
    バージョン情報 = addItem(mnufile, "バージョン情報", QStringLiteral("バージョン情報(&A)"));
}

Form3::~Form3() = default;
