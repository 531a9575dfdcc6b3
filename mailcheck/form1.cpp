#include "mailcheck/form1.h"

#include "app/clock.h"
#include "app/twips.h"
#include "app/windows.h"
#include "mailcheck/timer.h"
#include "mailcheck/winsock.h"
#include "notifier/form2.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QString popState;

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const QString& caption, int l, int t, int w, int h)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    app::placeTwips(label, l, t, w, h);
    return label;
}

QLineEdit *makeField(QWidget *parent, const char *name, int l, int t, int w, int h)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    app::placeTwips(field, l, t, w, h);
    return field;
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString& caption, int l, int t, int w, int h)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    app::placeTwips(button, l, t, w, h);
    return button;
}

} // namespace

Form1::Form1()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("アカウント設定"));
    app::sizeTwips(this, 4335, 1695);

    Label1 = makeLabel(this, "Label1", QStringLiteral("サーバー名"), 120, 120, 1200, 255);
    Text1 = makeField(this, "Text1", 1350, 120, 2895, 270);
    Label2 = makeLabel(this, "Label2", QStringLiteral("アカウント名"), 120, 480, 1185, 255);
    Text2 = makeField(this, "Text2", 1350, 480, 1575, 270);
    Label3 = makeLabel(this, "Label3", QStringLiteral("パスワード"), 120, 840, 1095, 255);
    Text7 = makeField(this, "Text7", 1350, 840, 1575, 270);
    Text7->setEchoMode(QLineEdit::Password);
    Label4 = makeLabel(this, "Label4", QStringLiteral("ポート番号"), 120, 1200, 1230, 420);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Text4 = makeField(this, "Text4", 1350, 1200, 525, 270);
    Label5 = makeLabel(this, "Label5", QStringLiteral("標準(110)"), 1920, 1320, 735, 285);
    Label5->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Command1 = makeButton(this, "Command1", QStringLiteral("OK"), 2700, 1275, 615, 300);
    Command2 = makeButton(this, "Command2", QStringLiteral("キャンセル"), 3345, 1275, 900, 300);

    // Hidden fields: never shown, kept outside the client area.
    Text3 = makeField(this, "Text3", 0, 0, 0, 0);
    Text3->setEchoMode(QLineEdit::Password);
    Text5 = makeField(this, "Text5", 0, 0, 0, 0);
    Text6 = makeField(this, "Text6", 0, 0, 0, 0);
    for (QLineEdit *hidden : {Text3, Text5, Text6}) {
        hidden->hide();
        hidden->setFocusPolicy(Qt::NoFocus);
    }

    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Text1);
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Text7);
    setTabOrder(Text7, Text4);

    Winsock1 = new Winsock(this);
    Winsock1->setObjectName(QStringLiteral("Winsock1"));
    Timer1 = new Timer(60000, true, this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2 = new Timer(1, false, this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer3 = new Timer(1000, true, this);
    Timer3->setObjectName(QStringLiteral("Timer3"));

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Winsock1, &Winsock::DataArrival, this, &Form1::Winsock1_DataArrival);
    connect(Timer1, &Timer::tick, this, &Form1::Timer1_Timer);
    connect(Timer2, &Timer::tick, this, &Form1::Timer2_Timer);
    connect(Timer3, &Timer::tick, this, &Form1::Timer3_Timer);
}

Form1::~Form1() = default;

void Form1::Command1_Click() {}

void Form1::Command2_Click()
{
    hide();
}

void Form1::Winsock1_DataArrival(qint64) {}

void Form1::Timer1_Timer()
{
    popState = QStringLiteral("connect");
    Winsock1->Close();
    Winsock1->Connect(Text1->text(), 110);
}

void Form1::Timer2_Timer()
{
    Timer2->setEnabled(false);
}

void Form1::Timer3_Timer()
{
    app::writeClockLine(form2().Label2);
}

void Form1::closeEvent(QCloseEvent *event)
{
    // The socket and the timers live on this window: closing only hides it.
    event->ignore();
    hide();
}
