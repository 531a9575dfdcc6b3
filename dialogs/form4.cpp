#include "dialogs/form4.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Form4::Form4()
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("オプション設定"));
    Label1 = new QLabel(QStringLiteral("文字色"), this);
    Label2 = new QLabel(QStringLiteral("背景色"), this);
    Label3 = new QLabel(QStringLiteral("点滅A"), this);
    Label4 = new QLabel(QStringLiteral("点滅B"), this);
    for (int i = 0; i < 4; ++i) {
        Colourpreview[i] = new QLabel(this);
        Colourpreview[i]->setObjectName(QStringLiteral("Colourpreview(%1)").arg(i));
        Colour[i] = new QLineEdit(this);
        Colour[i]->setObjectName(QStringLiteral("Colour(%1)").arg(i));
        Colour[i]->hide();
    }
    Command4 = new QPushButton(QStringLiteral("初期値"), this);
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command2 = new QPushButton(QStringLiteral("キャンセル"), this);
}

Form4::~Form4() = default;
