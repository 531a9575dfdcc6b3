#include "dialogs/dialogwindow.h"

#include "app/colour.h"
#include "app/twips.h"
#include "app/x11window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

namespace dialogs {

// 150 twips are 10 pixels at 96 DPI: "標準(110)", "キャンセル" with the button's margins and "65535"
// in the port field fit the account window's boxes, which are the narrowest.
constexpr int kTextSizeTwips = 150;

QFont japaneseFont(bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("VL PGothic"),
                      QStringLiteral("Noto Sans CJK JP")});
    font.setStyleHint(QFont::SansSerif);
    // Whole pixels keep the glyphs crisp.
    font.setPixelSize(app::twipsToPixelsY(kTextSizeTwips));
    font.setBold(bold);
    return font;
}

namespace {

// Start-up creates the account, colour and mail-program windows hidden; a Japanese font set on them then
// would load the whole CJK font at start-up for windows most runs never show. The fonts are set
// when a dialog is first shown instead.
class FirstShowFonts : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched == parent()) {
            auto *window = static_cast<QWidget *>(watched);
            window->removeEventFilter(this);
            applyDialogFonts(window);
            deleteLater();
        }
        return false;
    }
};

} // namespace

void applyDialogFonts(QWidget *window)
{
    window->setFont(japaneseFont());
}

void applyFontsOnFirstShow(QWidget *window)
{
    window->installEventFilter(new FirstShowFonts(window));
}

void setUpDialogWindow(QWidget *window, int widthTwips, int heightTwips)
{
    window->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    app::keepOutOfTaskbar(window);
    app::setBackColour(window, Qt::white);
    applyFontsOnFirstShow(window);
    app::sizeTwips(window, widthTwips, heightTwips);
    centreOnScreen(window);
}

void centreOnScreen(QWidget *window)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    window->move(area.x() + (area.width() - window->width()) / 2,
                 area.y() + (area.height() - window->height()) / 2);
}

QLabel *addLabel(QWidget *parent, const QString& name, const QString& text, int left, int top, int width,
                 int height)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    app::placeTwips(label, left, top, width, height);
    return label;
}

QPushButton *addButton(QWidget *parent, const QString& name, const QString& text, int left, int top,
                       int width, int height)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    app::setBackColour(button, Qt::white);
    app::placeTwips(button, left, top, width, height);
    return button;
}

bool isClick(const QEvent *event, const QWidget *widget)
{
    if (event->type() != QEvent::MouseButtonRelease)
        return false;
    const auto *mouse = static_cast<const QMouseEvent *>(event);
    return mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint());
}

} // namespace dialogs
