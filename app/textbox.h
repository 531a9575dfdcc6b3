#pragma once

#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

class QWidget;

// A text field of a window. Its text lives here from the window's creation on; the line edit that
// shows it is made when the window is first shown, or when something asks for it. A line edit lays
// out its text as soon as it exists, which loads the font system: start-up fills the hidden
// windows' fields before the notifier is shown, and would otherwise pay for the fonts before the
// notifier can appear instead of at its first paint.
class TextBox : public QObject {
    Q_OBJECT
public:
    // A field that shows on its window, placed by its design rectangle in twips.
    TextBox(QWidget *window, const QString& name, const QRect& twips);
    // A field only the program reads and writes: never shown, never focused.
    static TextBox *hidden(QWidget *window, const QString& name);

    QString text() const;
    void setText(const QString& text);
    void clear() { setText(QString()); }
    QLineEdit::EchoMode echoMode() const { return m_echoMode; }
    void setEchoMode(QLineEdit::EchoMode mode);
    bool isHidden() const { return m_hidden; }

    // The line edit, made now if it does not exist yet.
    QLineEdit *widget();
    bool hasWidget() const { return !m_edit.isNull(); }

private:
    TextBox(QWidget *window, const QString& name, const QRect& twips, bool hidden);

    QWidget *const m_window;
    const QRect m_twips;
    const bool m_hidden;
    QString m_text;
    QLineEdit::EchoMode m_echoMode = QLineEdit::Normal;
    QPointer<QLineEdit> m_edit;
};
