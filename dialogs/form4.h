#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class QColorDialog;
class QLabel;
class QPushButton;
class TextBox;

// The colour options dialog. Its hidden fields Colour(0..3) are where the four colours live while
// the program runs, so it is only ever hidden.
class Form4 : public QWidget {
    Q_OBJECT
public:
    Form4();
    ~Form4() override;

    // Text, panel, flashing A, flashing B: the colours of the "初期値" button.
    static constexpr std::array<qint32, 4> kDefaultColour{0, 12500400, 16304788, 16737380};

    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    std::array<QLabel *, 4> Colourpreview{};
    std::array<TextBox *, 4> Colour{};
    QPushButton *Command1;
    QPushButton *Command2;
    QPushButton *Command4;

    // Each preview shows the colour its field holds; a field that does not convert leaves its preview.
    void showPreviews();
    // The "初期値" colours into the four fields and previews; neither stored nor applied.
    void putDefaults();
    // The text colour onto the notifier's two lines, the panel colour onto its panel.
    void applyToNotifier();

    void Colourpreview_Click(int index);
    void Command1_Click();
    void Command2_Click();
    void Command4_Click();
    void Form_Unload(int& cancel);

    // Runs the prepared colour chooser modally. Test seam: tests replace it to answer without a user.
    static std::function<void(QColorDialog&)> runChooser;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    std::optional<QColor> chooseColour();
    void storeColours();
};
