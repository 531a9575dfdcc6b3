#pragma once

#include "docking/docking.h"
#include "notifier/rules.h"

#include <QPoint>
#include <QStringList>
#include <QWidget>

class QLabel;
class QMouseEvent;
class QPushButton;

// The notifier: a small borderless window with the result line, the clock line and the coloured
// panel behind them. Its position is kept in twips for everything that reads or writes it.
class Form2 : public QWidget, public Docking::Dockable {
    Q_OBJECT
public:
    Form2();
    ~Form2() override;

    QPushButton *Command1;
    QLabel *Label2; // clock line
    QLabel *Label1; // result line
    QLabel *Label3; // panel

    // The one writer of the result line. outcome, when a check has one, is how it ended as the
    // tooltip tells it after the time; panelColour, a colour field's text, repaints the panel.
    // Every line reaches the status probe.
    void showResult(const QString& line, const QString& outcome = QString(),
                    const QString& panelColour = QString());
    // The one writer of the panel's colour, from a colour field's text: the colour dialog, the
    // result line and the blink all paint it here. A text that does not convert leaves the panel.
    void setPanelColour(const QString& colourText);
    // The new messages' lines, kept in the tooltip below the outcome until replaced; none takes them
    // away. Each reaches the status probe.
    void showPreview(const QStringList& lines);
    // The clock line: today's date and the time now.
    void showClock();
    // A problem with the settings file, kept as the tooltip's first line above every later check's
    // outcome until it is replaced; the empty text takes it away.
    void showProblem(const QString& problem);

    // Position in twips, screen coordinates.
    double Top() const;
    double Left() const;
    void setTop(double twips);
    void setLeft(double twips);
    // Moves the window to a position in screen pixels.
    void moveToPixels(const QPoint& topLeft);
    // For the many quick moves of a shake; Qt learns the place from the window manager's answer.
    void shakeToPixels(const QPoint& topLeft);
    QPoint pixelPosition() const { return m_position; }
    // The window has been on screen (mapped and exposed) at least once.
    bool isOnScreen() const { return m_placementChecked; }
    // Moves a window that would not be seen whole on any screen to the nearest place on the
    // primary screen where it is; a window that is seen stays exactly where it is. True if moved.
    bool bringOnScreen();

    // Above all other windows or not; the menu's check mark is not touched. Switched in place: the
    // window is neither hidden nor re-created.
    void setTopmost(bool topmost);
    bool isTopmost() const;

    void Form_Load();
    // Press handlers: the pressed button, and the press in the window's and in screen pixels.
    void Form_MouseDown(Qt::MouseButton button, QPoint position, QPoint cursor);
    void Label1_MouseDown(Qt::MouseButton button, QPoint position, QPoint cursor);
    void Label2_MouseDown(Qt::MouseButton button, QPoint position, QPoint cursor);
    // Click handlers: the menu opens where the mouse pointer is.
    void Form_Click();
    void Label1_Click();
    void Label2_Click();
    void Label3_Click();
    void Command1_Click();
    void Form_QueryUnload(int& cancel, int unloadMode);
    void Form_Unload(int& cancel);

    void setMoveHooks(std::function<void(Docking::Point)> started,
                      std::function<void(Docking::Rect&, Docking::Point)> moving) override;
    bool isMoving() const { return m_moving; }

signals:
    // The first time the window is on screen; what start-up leaves for later may begin.
    void firstExposed();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    notifier::Control controlAt(QPoint position) const;
    void beginMove(QPoint grip, QPoint cursor);
    void moveStep(QPoint cursor);
    void showPopupMenu();
    void updateToolTip();

    QString m_problem;
    QString m_outcome; // the last check's, as the tooltip tells it
    QStringList m_preview;
    QString m_shownToolTip;

    // The place the program put the window: the truth, whatever the window manager reports.
    QPoint m_position;
    bool m_placementChecked = false;

    // The program's own move loop: the grip is where the press took the window, in its pixels.
    bool m_moving = false;
    QPoint m_grip;
    notifier::Control m_pressed = notifier::Control::Form;
    Qt::MouseButton m_pressButton = Qt::NoButton;
    QPoint m_pointer;

    std::function<void(Docking::Point)> m_moveStarted;
    std::function<void(Docking::Rect&, Docking::Point)> m_moveStep;
};
