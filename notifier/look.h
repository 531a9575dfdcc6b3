#pragma once

#include <QFont>
#include <QImage>
#include <QLabel>

// How the notifier looks: its bezel, the font of its two lines, and labels that draw those lines.
namespace notifier {

// The 121 x 37 background: a light-grey metallic frame, a dark inner border and a white field
// under the coloured panel.
QImage bezelImage();

// "Verdana" 6 pt bold, or the nearest sans-serif of the same width where it isn't installed.
QFont lineFont();

// A transparent text line, drawn from its top-left corner, so a trailing line break neither moves
// nor clips the text; a carriage return draws nothing. text() keeps what was set.
class LineLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace notifier
