#include "dialogs/frmabout.h"

#include "app/colour.h"
#include "app/links.h"
#include "app/twips.h"
#include "app/windows.h"
#include "dialogs/dialogwindow.h"
#include "version.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>

namespace {

const char kLogo[] = ":/dialogs/logo.png";

const char kTerms[] = "【ご使用にあたって（同意と免責）】\n"
                      "・使用で生じた損害に作者は一切責任を負いません。\n"
                      "・同意いただけない方は使用しないでください。";

const char kWarning[] = "警告：本製品は著作権法および国際条約により保護されています。"
                        "無断で複製・配布することは、作者の権利を侵害する行為です。";

const char kNotice[] = "著作権はVurk Developmentに帰属します。";

// The address without its scheme and closing slash, so it fits the narrow label.
QString shownAddress()
{
    QString address = QString::fromLatin1(app::links::kAboutShownAddress);
    address.remove(QRegularExpression(QStringLiteral("^[a-z]+://")));
    if (address.endsWith(QLatin1Char('/')))
        address.chop(1);
    return address;
}

// A rule from (x1, y) to (x2, y) in twips, drawn as a filled strip.
QFrame *addRule(QWidget *parent, int index, const QColor& colour, int x1, int y, int x2, int thickness)
{
    auto *rule = new QFrame(parent);
    rule->setObjectName(QStringLiteral("Line1(%1)").arg(index));
    app::setBackColour(rule, colour);
    const int left = app::twipsToPixelsX(x1);
    rule->setGeometry(left, app::twipsToPixelsY(y), app::twipsToPixelsX(x2) - left, thickness);
    return rule;
}

} // namespace

std::function<bool(const QUrl&)> frmAbout::openLink = &QDesktopServices::openUrl;

frmAbout::frmAbout()
{
    setObjectName(QStringLiteral("frmAbout"));
    dialogs::setUpDialogWindow(this, 6480, 3195);
    setWindowIcon(QIcon(QString::fromLatin1(kLogo)));

    Image1 = dialogs::addLabel(this, QStringLiteral("Image1"), QString(), 120, 120, 1410, 870);
    Image1->setPixmap(QPixmap(QString::fromLatin1(kLogo)));
    lblVersion = dialogs::addLabel(this, QStringLiteral("lblVersion"), QString(), 1680, 240, 3885, 225);
    lblVersion->setFont(dialogs::japaneseFont(true));
    Label6 =
        dialogs::addLabel(this, QStringLiteral("Label6"), QString::fromUtf8(kTerms), 1680, 630, 4695, 1005);
    Label6->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label6->setWordWrap(true);
    // The first rule is white on white, as designed: an etched edge without its shadow.
    Line1[0] = addRule(this, 0, Qt::white, 0, 1680, 6450, 2);
    Label1 =
        dialogs::addLabel(this, QStringLiteral("Label1"), QString::fromUtf8(kWarning), 60, 1740, 6165, 645);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);
    Line1[1] = addRule(this, 1, Qt::red, -405, 2400, 6480, 1);
    Label5 =
        dialogs::addLabel(this, QStringLiteral("Label5"), QStringLiteral("最新情報"), 2520, 2460, 795, 255);
    Label3 = dialogs::addLabel(this, QStringLiteral("Label3"), QStringLiteral("URL"), 3405, 2475, 375, 255);
    app::setForeColour(Label3, Qt::blue);
    Label2 = dialogs::addLabel(this, QStringLiteral("Label2"), shownAddress(), 3885, 2475, 2475, 255);
    app::setForeColour(Label2, Qt::blue);
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->installEventFilter(this);
    Line1[2] = addRule(this, 2, Qt::blue, 3885, 2670, 6240, 1);
    // A substitute font is taller than the designer's and sets the text lower: keep the rule under it.
    const QFontMetrics metrics(Label2->font());
    const int baseline = Label2->y() + (Label2->height() - metrics.height()) / 2 + metrics.ascent();
    Line1[2]->move(Line1[2]->x(), std::max(Line1[2]->y(), baseline + metrics.underlinePos()));
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    app::placeTwips(cmdOK, 4980, 2760, 1260, 345);
    cmdOK->setDefault(true);
    Label4 =
        dialogs::addLabel(this, QStringLiteral("Label4"), QString::fromUtf8(kNotice), 900, 2880, 3975, 255);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
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

void frmAbout::cmdOK_Click()
{
    close();
}

void frmAbout::Form_Unload(int&)
{
    // A window already unloaded must not take its successor with it.
    if (aboutWindowExists() && &aboutWindow() == this)
        unloadAboutWindow();
}

void frmAbout::Label2_Click()
{
    openLink(QUrl(QString::fromLatin1(app::links::kAboutLinkPage)));
}

bool frmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label2 && dialogs::isClick(event, Label2)) {
        Label2_Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    // cmdOK is the default and the cancel button at once.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        cmdOK->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void frmAbout::closeEvent(QCloseEvent *event)
{
    int cancel = 0;
    Form_Unload(cancel);
    event->accept();
}
