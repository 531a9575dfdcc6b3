#include "dialogs/form4.h"

#include "app/colour.h"
#include "app/settingsstore.h"
#include "app/textbox.h"
#include "app/twips.h"
#include "app/windows.h"
#include "dialogs/dialogwindow.h"
#include "notifier/form2.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QLabel>
#include <QPushButton>

std::function<void(QColorDialog&)> Form4::runChooser = [](QColorDialog& chooser) { chooser.exec(); };

Form4::Form4()
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("オプション設定"));
    dialogs::setUpDialogWindow(this, 2550, 1860);
    Label1 = dialogs::addLabel(this, QStringLiteral("Label1"), QStringLiteral("文字色"), 120, 90, 600, 255);
    Label2 = dialogs::addLabel(this, QStringLiteral("Label2"), QStringLiteral("背景色"), 120, 450, 630, 255);
    Label3 = dialogs::addLabel(this, QStringLiteral("Label3"), QStringLiteral("点滅A"), 120, 810, 540, 255);
    Label4 = dialogs::addLabel(this, QStringLiteral("Label4"), QStringLiteral("点滅B"), 120, 1170, 555, 255);
    for (int i = 0; i < 4; ++i) {
        Colourpreview[i] = dialogs::addLabel(this, QStringLiteral("Colourpreview(%1)").arg(i), QString(), 840,
                                             60 + 360 * i, 1635, 255);
        Colourpreview[i]->setFrameStyle(QFrame::Box | QFrame::Plain);
        Colourpreview[i]->installEventFilter(this);
        // Hidden: only the program reads these.
        Colour[i] = TextBox::hidden(this, QStringLiteral("Colour(%1)").arg(i));
    }
    // Created in tab order, so "OK" has the focus when the dialog first shows.
    Command1 =
        dialogs::addButton(this, QStringLiteral("Command1"), QStringLiteral("OK"), 1020, 1470, 495, 300);
    Command2 = dialogs::addButton(this, QStringLiteral("Command2"), QStringLiteral("キャンセル"), 1560, 1470,
                                  960, 300);
    Command4 =
        dialogs::addButton(this, QStringLiteral("Command4"), QStringLiteral("初期値"), 120, 1470, 870, 300);
    connect(Command1, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form4::Command2_Click);
    connect(Command4, &QPushButton::clicked, this, &Form4::Command4_Click);
}

Form4::~Form4() = default;

void Form4::Colourpreview_Click(int index)
{
    const std::optional<QColor> picked = chooseColour();
    if (!picked)
        return;
    app::setBackColour(Colourpreview[index], *picked);
    Colour[index]->setText(QString::number(app::valueFromColour(*picked)));
}

void Form4::showPreviews()
{
    for (int i = 0; i < 4; ++i)
        app::setBackColourText(Colourpreview[i], Colour[i]->text());
}

void Form4::applyToNotifier()
{
    app::setForeColourText(form2().Label1, Colour[0]->text());
    app::setForeColourText(form2().Label2, Colour[0]->text());
    form2().setPanelColour(Colour[1]->text());
}

void Form4::Command1_Click()
{
    applyToNotifier();
    storeColours();
    hide();
}

void Form4::Command2_Click()
{
    hide();
}

void Form4::Command4_Click()
{
    putDefaults();
}

void Form4::putDefaults()
{
    for (int i = 0; i < 4; ++i) {
        app::setBackColour(Colourpreview[i], app::colourFromValue(kDefaultColour[i]));
        Colour[i]->setText(QString::number(kDefaultColour[i]));
    }
}

void Form4::Form_Unload(int& cancel)
{
    storeColours();
    cancel = 1;
    hide();
}

bool Form4::eventFilter(QObject *watched, QEvent *event)
{
    for (int i = 0; i < 4; ++i) {
        if (watched == Colourpreview[i] && dialogs::isClick(event, Colourpreview[i])) {
            Colourpreview_Click(i);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form4::closeEvent(QCloseEvent *event)
{
    int cancel = 0;
    Form_Unload(cancel);
    event->setAccepted(cancel == 0);
}

std::optional<QColor> Form4::chooseColour()
{
    // Qt remembers custom colours between openings and even in its own config file; each opening
    // starts from black, with no preset colour.
    for (int i = 0; i < QColorDialog::customCount(); ++i)
        QColorDialog::setCustomColor(i, Qt::black);
    QColorDialog chooser(Qt::black, this);
    chooser.setOption(QColorDialog::DontUseNativeDialog);
    runChooser(chooser);
    if (chooser.result() != QDialog::Accepted || !chooser.selectedColor().isValid())
        return std::nullopt;
    return chooser.selectedColor();
}

void Form4::storeColours()
{
    for (int i = 0; i < 4; ++i)
        Store::write(Store::Key::colour[i], Colour[i]->text());
    Store::commit();
}
