#pragma once

#include "docking/docking.h"

#include <QPoint>
#include <QWidget>

class QLabel;
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

    // Position in twips, screen coordinates.
    double Top() const;
    double Left() const;
    void setTop(double twips);
    void setLeft(double twips);
    // Moves the window to a position in screen pixels.
    void moveToPixels(const QPoint& topLeft);
    QPoint pixelPosition() const { return m_position; }

    void Form_Load();
    void Command1_Click();
    void Form_QueryUnload(int& cancel, int unloadMode);
    void Form_Unload(int& cancel);

    void setMoveHooks(std::function<void(Docking::Point)> started,
                      std::function<void(Docking::Rect&, Docking::Point)> moving) override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // The place the program put the window: the truth, whatever the window manager reports.
    QPoint m_position;
    std::function<void(Docking::Point)> m_moveStarted;
    std::function<void(Docking::Rect&, Docking::Point)> m_moving;
};
