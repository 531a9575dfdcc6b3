#pragma once

#include <QWidget>
#include <array>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;
class QUrl;

// The about window: name, version, terms of use and the maker's address. Closing destroys it.
class frmAbout : public QWidget {
    Q_OBJECT
public:
    frmAbout();
    ~frmAbout() override;

    QLabel *Image1;
    QLabel *lblVersion;
    QLabel *Label6;
    std::array<QFrame *, 3> Line1{};
    QLabel *Label1;
    QLabel *Label5;
    QLabel *Label3;
    QLabel *Label2;
    QPushButton *cmdOK;
    QLabel *Label4;

    void Form_Load();
    void cmdOK_Click();
    void Form_Unload(int& cancel);
    void Label2_Click();

    // Hands a page to the browser. Test seam: tests replace it so that no browser starts.
    static std::function<bool(const QUrl&)> openLink;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
};
