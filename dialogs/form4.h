#pragma once

#include <QWidget>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;

// The colour options dialog. Its hidden fields Colour(0..3) are where the four colours live while
// the program runs, so it is only ever hidden.
class Form4 : public QWidget {
    Q_OBJECT
public:
    Form4();
    ~Form4() override;

    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    std::array<QLabel *, 4> Colourpreview{};
    std::array<QLineEdit *, 4> Colour{};
    QPushButton *Command4;
    QPushButton *Command1;
    QPushButton *Command2;
};
