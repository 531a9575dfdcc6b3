#pragma once

#include <QWidget>

class QAction;
class QMenu;

// Holds the notifier's popup menu; never shown itself. The three check marks are the program's
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
    QAction *bar4;
    QAction *checkShori;
    QAction *bar2;
    QAction *終了;
    QAction *bar5;
    QAction *mnuweb;
    QAction *バージョン情報;
};
