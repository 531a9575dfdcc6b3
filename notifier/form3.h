#pragma once

#include <QWidget>

class QAction;
class QMenu;

// Holds the notifier's popup menu; never shown itself. The five check marks are the program's
// notification switches.
class Form3 : public QWidget {
    Q_OBJECT
public:
    Form3();
    ~Form3() override;

    QMenu *mnufile;
    QAction *プロパティ;
    QAction *オプション設定;
    QAction *mnuAppMail;
    QAction *bar3;
    QAction *mnufont;
    QAction *shindou;
    QAction *checkbeep;
    QAction *checknotify;
    QAction *checkpreview;
    QAction *bar4;
    QAction *checkShori;
    QAction *bar2;
    QAction *終了;
    QAction *bar5;
    QAction *mnuweb;
    QAction *バージョン情報;

    void プロパティ_Click();
    void オプション設定_Click();
    void mnuAppMail_Click();
    void mnufont_Click();
    void shindou_Click();
    void checkbeep_Click();
    void checknotify_Click();
    void checkpreview_Click();
    void checkShori_Click();
    void 終了_Click();
    void mnuweb_Click();
    void バージョン情報_Click();

private:
    void connectItem(QAction *item, void (Form3::*handler)());
};
