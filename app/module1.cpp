#include "app/module1.h"

#include "app/clock.h"
#include "app/colour.h"
#include "app/conversions.h"
#include "app/settingsstore.h"
#include "app/singleinstance.h"
#include "app/textbox.h"
#include "app/windows.h"
#include "dialogs/form4.h"
#include "dialogs/form5.h"
#include "mailcheck/form1.h"
#include "mailcheck/winsock.h"
#include "notifier/form2.h"
#include "notifier/form3.h"
#include "scramble/encrypt.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

namespace Module1 {

namespace {

void readSwitch(const Store::Reader& stored, const char *key, QAction *item)
{
    if (const auto value = app::textToBool(stored.read(QLatin1String(key))))
        item->setChecked(*value);
}

void applyStoredColours()
{
    Form4& f4 = form4();
    if (!f4.Colour[0]->text().isEmpty()) {
        for (int i = 0; i < 4; ++i)
            app::setBackColourText(f4.Colourpreview[i], f4.Colour[i]->text());
        app::setForeColourText(form2().Label1, f4.Colour[0]->text());
        app::setForeColourText(form2().Label2, f4.Colour[0]->text());
        app::setBackColourText(form2().Label3, f4.Colour[1]->text());
        return;
    }
    for (int i = 0; i < 4; ++i)
        app::setBackColour(f4.Colourpreview[i], app::colourFromValue(Form4::kDefaultColour[i]));
    app::setForeColour(form2().Label1, app::colourFromValue(Form4::kDefaultColour[0]));
    app::setForeColour(form2().Label2, app::colourFromValue(Form4::kDefaultColour[0]));
    app::setBackColour(form2().Label3, app::colourFromValue(Form4::kDefaultColour[1]));
    for (int i = 0; i < 4; ++i)
        f4.Colour[i]->setText(QString::number(Form4::kDefaultColour[i]));
}

// Steps shared by both saves, up to the position.
void saveAccount()
{
    Store::write(QStringLiteral("server"), form1().Text1->text());
    Store::write(QStringLiteral("user"), form1().Text2->text());
    Store::write(QStringLiteral("pass"), Encrypt::EncodePassword(form1().Text3->text()));
    Store::write(QStringLiteral("port"), form1().Text4->text());
}

void savePositionAndSwitches()
{
    Store::write(QStringLiteral("top"), app::singleToText(float(form2().Top())));
    Store::write(QStringLiteral("left"), app::singleToText(float(form2().Left())));
    Store::write(QStringLiteral("front"), app::boolToText(form3().mnufont->isChecked()));
    Store::write(QStringLiteral("shindou"), app::boolToText(form3().shindou->isChecked()));
    Store::write(QStringLiteral("checkbeep"), app::boolToText(form3().checkbeep->isChecked()));
    Store::commit();
    form1().Winsock1->Close();
}

} // namespace

bool Main()
{
    if (app::anotherInstanceRunning()) {
        app::showAlreadyRunningMessage();
        return false;
    }
    const Store::Reader stored;
    readSwitch(stored, "front", form3().mnufont);
    readSwitch(stored, "shindou", form3().shindou);
    readSwitch(stored, "checkbeep", form3().checkbeep);
    form5().txtAppMail->setText(stored.read(QStringLiteral("mailer")));

    Form1& f1 = form1();
    f1.Text1->setText(stored.read(QStringLiteral("server")));
    f1.Text2->setText(stored.read(QStringLiteral("user")));
    f1.Text3->setText(stored.read(QStringLiteral("pass")));
    DecodePasswordField();
    f1.Text4->setText(stored.read(QStringLiteral("port")));
    f1.Text5->setText(stored.read(QStringLiteral("top")));
    f1.Text6->setText(stored.read(QStringLiteral("left")));

    // The first use of the notifier runs its load step, which places it from Text5 and Text6.
    const auto top = app::textToSingle(f1.Text5->text());
    Form2& f2 = form2();
    if (top)
        f2.setTop(*top);
    if (const auto left = app::textToSingle(f1.Text6->text()))
        f2.setLeft(*left);

    for (int i = 0; i < 4; ++i)
        form4().Colour[i]->setText(stored.read(QStringLiteral("acolor%1").arg(i + 1)));
    applyStoredColours();

    f2.show();
    f2.activateWindow();
    f2.Label1->setText(QStringLiteral("Not Found e-Mail"));
    app::writeClockLine(f2.Label2);
    for (TextBox *field : {f1.Text1, f1.Text2, f1.Text3, f1.Text4}) {
        if (field->text().isEmpty()) {
            f2.Label1->setText(QStringLiteral("Please check a account"));
            break;
        }
    }

    f1.startCheck();
    f2.Command1->setFocus();
    return true;
}

void SaveSettings()
{
    saveAccount();
    form1().Text5->setText(app::singleToText(float(form2().Top())));
    form1().Text6->setText(app::singleToText(float(form2().Left())));
    savePositionAndSwitches();
}

void SaveSettingsOnExit()
{
    saveAccount();
    savePositionAndSwitches();
}

void DecodePasswordField()
{
    const QString stored = form1().Text3->text();
    form1().Text3->setText(Encrypt::DecodePassword(stored));
}

} // namespace Module1
