#include "dialogs/form5.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

Form5::Form5()
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("起動メーラ設定"));
    Label1 = new QLabel(QStringLiteral("起動させたいメーラへのパスをご記入ください"), this);
    txtAppMail = new QLineEdit(this);
    txtAppMail->setObjectName(QStringLiteral("txtAppMail"));
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command2 = new QPushButton(QStringLiteral("キャンセル"), this);
}

Form5::~Form5() = default;
