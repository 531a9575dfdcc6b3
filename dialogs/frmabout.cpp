#include "dialogs/frmabout.h"

#include "version.h"

#include <QLabel>
#include <QPushButton>

frmAbout::frmAbout()
{
    setObjectName(QStringLiteral("frmAbout"));
    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
}

frmAbout::~frmAbout() = default;

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("vurk_mailchecker （ﾊﾞｰｼﾞｮﾝ情報）"));
    lblVersion->setText(QStringLiteral("Vurk_メールチェッカー Version.%1.%2.%3")
                            .arg(VURK_VERSION_MAJOR)
                            .arg(VURK_VERSION_MINOR)
                            .arg(VURK_VERSION_PATCH));
}
