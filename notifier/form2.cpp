#include "notifier/form2.h"

#include "app/conversions.h"
#include "app/module1.h"
#include "app/twips.h"
#include "app/windows.h"
#include "mailcheck/form1.h"
#include "notifier/form3.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

Form2::Form2()
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Vurk_メールチェッカー"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(121, 37);

    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(7, 5, 107, 27);
    Label3->setAutoFillBackground(true);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 6, 107, 15);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(8, 18, 108, 13);
    Command1 = new QPushButton(this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(114, -3, 7, 8);
    Command1->setToolTip(QStringLiteral("メーラーを起動する"));

    m_position = QPoint(app::twipsToPixelsX(5265), app::twipsToPixelsY(4140));
    move(m_position);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
}

Form2::~Form2() = default;

double Form2::Top() const
{
    return m_position.y() * app::twipsPerPixelY();
}

double Form2::Left() const
{
    return m_position.x() * app::twipsPerPixelX();
}

void Form2::setTop(double twips)
{
    moveToPixels(QPoint(m_position.x(), app::twipsToPixelsY(twips)));
}

void Form2::setLeft(double twips)
{
    moveToPixels(QPoint(app::twipsToPixelsX(twips), m_position.y()));
}

void Form2::moveToPixels(const QPoint& topLeft)
{
    m_position = topLeft;
    move(topLeft);
}

void Form2::Form_Load()
{
    if (const auto top = app::textToSingle(form1().Text5->text()))
        setTop(*top);
    if (const auto left = app::textToSingle(form1().Text6->text()))
        setLeft(*left);
    if (form3().mnufont->isChecked())
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    Docking::AttachDocking(this);
    Command1->setFocus();
}

void Form2::Command1_Click() {}

void Form2::Form_QueryUnload(int&, int unloadMode)
{
    if (unloadMode == 2)
        Module1::SaveSettingsOnExit();
}

void Form2::Form_Unload(int&)
{
    Module1::SaveSettingsOnExit();
}

void Form2::setMoveHooks(std::function<void(Docking::Point)> started,
                         std::function<void(Docking::Rect&, Docking::Point)> moving)
{
    m_moveStarted = std::move(started);
    m_moving = std::move(moving);
}

void Form2::closeEvent(QCloseEvent *event)
{
    int cancel = 0;
    Form_QueryUnload(cancel, 0);
    Form_Unload(cancel);
    event->accept();
}
