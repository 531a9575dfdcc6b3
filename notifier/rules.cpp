#include "notifier/rules.h"

#include "mailcheck/headers.h"

#include <QTextDocument>

namespace notifier {

bool pressStartsDrag(Control pressed, Qt::MouseButton button)
{
    return button == Qt::LeftButton &&
           (pressed == Control::Form || pressed == Control::Label1 || pressed == Control::Label2);
}

bool clickOpensMenu(Control pressed, Control released, Qt::MouseButton button)
{
    if (pressed != released || pressed == Control::Command1)
        return false;
    if (button == Qt::RightButton || button == Qt::MiddleButton)
        return true;
    // Label3 has no press handler: only its margin around the two lines takes a left click.
    return button == Qt::LeftButton && pressed == Control::Label3;
}

QString visibleText(const QString& text)
{
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    while (shown.endsWith(QLatin1Char('\n')))
        shown.chop(1);
    return shown;
}

QString outcomeText(const QDateTime& when, const QString& outcome)
{
    return when.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) + QLatin1Char(' ') + outcome;
}

QString messagesText(const QString& count)
{
    return count == QLatin1String("1") ? QStringLiteral("1 message") : count + QStringLiteral(" messages");
}

QString detailText(const QString& text)
{
    constexpr qsizetype kMaxDetail = 120;
    QString clean;
    for (const QChar c : text) {
        if (clean.size() >= kMaxDetail)
            break;
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            clean += c;
        else if (c == QLatin1Char('\t'))
            clean += QLatin1Char(' ');
    }
    return clean.trimmed();
}

QString withoutDirectionControls(const QString& text)
{
    QString shown = text;
    for (QChar& c : shown) {
        const char16_t u = c.unicode();
        if ((u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
            c = QChar::ReplacementCharacter;
    }
    return shown;
}

namespace {

int columnsOf(QChar c)
{
    // Close enough for the tooltip: CJK and other wide scripts take about two Latin columns. The
    // second half of a surrogate pair takes none, so a pair is never split.
    if (c.isLowSurrogate())
        return 0;
    return c.unicode() >= 0x1100 ? 2 : 1;
}

// Breaks one line of at least two columns.
void wrapLine(QString line, int columns, QStringList& out)
{
    for (;;) {
        int used = 0;
        qsizetype fit = 0;
        while (fit < line.size() && used + columnsOf(line[fit]) <= columns)
            used += columnsOf(line[fit++]);
        if (fit == line.size()) {
            out << line;
            return;
        }
        const qsizetype blank = line.lastIndexOf(QLatin1Char(' '), fit);
        if (blank > 0) {
            out << line.left(blank);
            line.remove(0, blank + 1);
            continue;
        }
        out << line.left(fit);
        line.remove(0, fit);
    }
}

} // namespace

QString wrapLines(const QString& text, int columns)
{
    QStringList out;
    for (const QString& line : text.split(QLatin1Char('\n')))
        wrapLine(line, qMax(columns, 2), out);
    return out.join(QLatin1Char('\n'));
}

QString shownToolTip(const QStringList& lines, int columns)
{
    QStringList shown;
    for (const QString& line : lines) {
        if (!line.isEmpty())
            shown << line;
    }
    QString text = withoutDirectionControls(shown.join(QLatin1Char('\n')));
    if (columns > 0)
        text = wrapLines(text, columns);
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<qt>") + text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")) +
           QStringLiteral("</qt>");
}

QStringList previewLines(const QList<mailcheck::MessageHeaders>& messages, int columns)
{
    QStringList lines;
    for (const mailcheck::MessageHeaders& message : messages) {
        const QString from = message.from.isEmpty() ? QStringLiteral("(差出人なし)") : message.from;
        const QString subject = message.subject.isEmpty() ? QStringLiteral("(件名なし)") : message.subject;
        const QString line = withoutDirectionControls(from + QStringLiteral(" — ") + subject);
        // Room for the ellipsis, which counts one.
        int used = 0;
        qsizetype fit = 0;
        while (fit < line.size() && used + columnsOf(line[fit]) <= columns - 1)
            used += columnsOf(line[fit++]);
        const bool whole = [&] {
            int all = used;
            for (qsizetype i = fit; i < line.size(); ++i)
                all += columnsOf(line[i]);
            return all <= columns;
        }();
        if (whole) {
            lines << line;
            continue;
        }
        if (fit > 0 && line[fit - 1].isHighSurrogate())
            --fit;
        lines << line.left(fit) + QChar(0x2026);
    }
    return lines;
}

QString previewBody(const QStringList& lines, bool markup)
{
    QString body = lines.join(QLatin1Char('\n'));
    if (!markup)
        return body;
    // Only what the notification servers' markup knows as such.
    body.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
    body.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    body.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    return body;
}

Docking::Rect proposedFrame(QPoint cursor, QPoint grip, QSize size)
{
    const QPoint topLeft = cursor - grip;
    return {topLeft.x(), topLeft.y(), topLeft.x() + size.width(), topLeft.y() + size.height()};
}

} // namespace notifier
