#pragma once

#include "app/conversions.h"
#include "app/module1.h"
#include "app/textbox.h"
#include "app/windows.h"
#include "mailcheck/form1.h"
#include "notifier/form2.h"
#include "notifier/form3.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QString>

#include <cstdio>

// A program that does nothing but save: started from a test, it takes over the settings the last run
// left, then saves generation after generation through both save operations until it is killed.
// Each generation's values are derived from its number, so a file tells which generation it holds.
namespace savestorm {

struct Generation {
    QString server, user, password, port, top, left, front, shindou, checkbeep;
};

inline Generation generation(int g)
{
    Generation v;
    // Lengths vary, so a torn write could not pass for a whole one.
    v.server = QStringLiteral("storm-%1-").arg(g) + QString(g % 37, QLatin1Char('x'));
    v.user = QStringLiteral("user-%1").arg(g);
    v.password = QStringLiteral("pw%1~パス").arg(g) + QString(g % 11, QLatin1Char('!'));
    v.port = QString::number(g);
    v.top = QString::number(1500 + (g % 97) * 15);
    v.left = QString::number(3000 + (g % 89) * 15);
    v.front = app::boolToText(g & 1);
    v.shindou = app::boolToText(g & 2);
    v.checkbeep = app::boolToText(g & 4);
    return v;
}

// The generation a server text belongs to; 0 for none.
inline int generationOf(const QString& server)
{
    if (!server.startsWith(QLatin1String("storm-")))
        return 0;
    return server.section(QLatin1Char('-'), 1, 1).toInt();
}

inline void say(const char *what, int g)
{
    std::printf("%s %d\n", what, g);
    std::fflush(stdout);
}

inline int run(int argc, char *argv[], int saves)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vurk_mailchecker"));
    if (!Module1::Main())
        return 2;
    const int first = generationOf(form1().Text1->text());
    say("started", first);
    for (int g = first + 1; g <= first + saves; ++g) {
        const Generation v = generation(g);
        form1().Text1->setText(v.server);
        form1().Text2->setText(v.user);
        form1().Text3->setText(v.password);
        form1().Text4->setText(v.port);
        form2().setTop(v.top.toDouble());
        form2().setLeft(v.left.toDouble());
        form3().mnufont->setChecked(g & 1);
        form3().shindou->setChecked(g & 2);
        form3().checkbeep->setChecked(g & 4);
        say("saving", g);
        if (g % 2)
            Module1::SaveSettings();
        else
            Module1::SaveSettingsOnExit();
        say("saved", g);
    }
    return 0;
}

} // namespace savestorm
