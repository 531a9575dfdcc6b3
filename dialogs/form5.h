#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class TextBox;

// The mail program dialog. Its field is the live command line of the mail program; the close box
// destroys the dialog and the field with it.
class Form5 : public QWidget {
    Q_OBJECT
public:
    Form5();
    ~Form5() override;

    // The first show makes the field's line edit.
    void setVisible(bool visible) override;

    QLabel *Label1;
    TextBox *txtAppMail;
    QPushButton *Command1;
    QPushButton *Command2;

    void Command1_Click();
    void Command2_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
};
