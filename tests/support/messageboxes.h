#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

// Answers the program's modal message boxes from inside their own event loop.
namespace testsupport {

struct SeenBox {
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Watches for the next message box for a few seconds, notes what it shows, runs whileOpen with it
// still open, then presses the given button. Stops watching when it goes out of scope.
class BoxAnswerer {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton press, std::function<void()> whileOpen = {})
        : m_deadline(5000)
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this, press, whileOpen] {
            if (m_deadline.hasExpired()) {
                m_timer.stop();
                return;
            }
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(widget);
                if (!box || !box->isVisible())
                    continue;
                m_timer.stop();
                seen.seen = true;
                seen.title = box->windowTitle();
                seen.text = box->text();
                seen.icon = box->icon();
                seen.buttons = box->standardButtons();
                seen.defaultButton = box->standardButton(box->defaultButton());
                if (whileOpen)
                    whileOpen();
                if (QAbstractButton *button = box->button(press))
                    button->click();
                else
                    box->reject();
                return;
            }
        });
        m_timer.start();
    }

    SeenBox seen;

private:
    QTimer m_timer;
    QDeadlineTimer m_deadline;
};

} // namespace testsupport
