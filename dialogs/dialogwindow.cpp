#include "dialogs/dialogwindow.h"

#include "app/colour.h"
#include "app/taskbar.h"
#include "app/twips.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

namespace dialogs {

QFont japaneseFont(double pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("VL PGothic"),
                      QStringLiteral("Noto Sans CJK JP")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

void setUpDialogWindow(QWidget *window, int widthTwips, int heightTwips)
{
    window->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    app::keepOutOfTaskbar(window);
    app::setBackColour(window, Qt::white);
    window->setFont(japaneseFont(9));
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
    button->setFont(japaneseFont(8.25));
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
