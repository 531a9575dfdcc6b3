#include "app/textbox.h"

#include "app/twips.h"

#include <QWidget>

TextBox::TextBox(QWidget *window, const QString& name, const QRect& twips)
    : TextBox(window, name, twips, false)
{
}

TextBox::TextBox(QWidget *window, const QString& name, const QRect& twips, bool hidden)
    : QObject(window), m_window(window), m_twips(twips), m_hidden(hidden)
{
    setObjectName(name);
}

TextBox *TextBox::hidden(QWidget *window, const QString& name)
{
    return new TextBox(window, name, QRect(), true);
}

QString TextBox::text() const
{
    return m_edit ? m_edit->text() : m_text;
}

void TextBox::setText(const QString& text)
{
    if (m_edit)
        m_edit->setText(text);
    else
        m_text = text;
}

void TextBox::setEchoMode(QLineEdit::EchoMode mode)
{
    m_echoMode = mode;
    if (m_edit)
        m_edit->setEchoMode(mode);
}

QLineEdit *TextBox::widget()
{
    if (m_edit)
        return m_edit;
    auto *edit = new QLineEdit(m_window);
    edit->setObjectName(objectName());
    edit->setEchoMode(m_echoMode);
    edit->setText(m_text);
    m_text.clear();
    if (m_hidden) {
        edit->hide();
        edit->setFocusPolicy(Qt::NoFocus);
    } else {
        app::placeTwips(edit, m_twips.x(), m_twips.y(), m_twips.width(), m_twips.height());
        // Children made after their window is shown stay hidden unless shown themselves.
        if (m_window->isVisible())
            edit->show();
    }
    m_edit = edit;
    return edit;
}
