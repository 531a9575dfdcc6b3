#include "dialogs/form5.h"

#include "app/settingsstore.h"
#include "app/textbox.h"
#include "app/twips.h"
#include "app/windows.h"
#include "dialogs/dialogwindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

Form5::Form5()
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("起動メーラ設定"));
    dialogs::setUpDialogWindow(this, 4080, 1230);
    Label1 =
        dialogs::addLabel(this, QStringLiteral("Label1"),
                          QStringLiteral("起動させたいメーラへのパスをご記入ください"), 120, 120, 3855, 255);
    // Created in tab order, so "キャンセル" has the focus when the dialog first shows.
    Command2 = dialogs::addButton(this, QStringLiteral("Command2"), QStringLiteral("キャンセル"), 3000, 840,
                                  960, 300);
    Command1 =
        dialogs::addButton(this, QStringLiteral("Command1"), QStringLiteral("OK"), 2400, 840, 495, 300);
    txtAppMail = new TextBox(this, QStringLiteral("txtAppMail"), QRect(120, 480, 3855, 270));
    connect(Command1, &QPushButton::clicked, this, &Form5::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form5::Command2_Click);
}

Form5::~Form5() = default;

void Form5::setVisible(bool visible)
{
    // Made last, so it comes after the buttons in tab order.
    if (visible)
        txtAppMail->widget();
    QWidget::setVisible(visible);
}

void Form5::Command1_Click()
{
    Store::write(Store::Key::mailer, txtAppMail->text());
    Store::commit();
    hide();
}

void Form5::Command2_Click()
{
    hide();
}

void Form5::closeEvent(QCloseEvent *event)
{
    // Only the current dialog may take the program's reference with it, not one already unloaded.
    if (form5Exists() && &form5() == this)
        unloadForm5();
    event->accept();
}
