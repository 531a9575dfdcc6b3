#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The about window: name, version, terms of use and the maker's address. Closing destroys it.
class frmAbout : public QWidget {
    Q_OBJECT
public:
    frmAbout();
    ~frmAbout() override;

    QLabel *lblVersion;
    QPushButton *cmdOK;

    void Form_Load();
};
