#pragma once

#include "docking/docking.h"

#include <QDateTime>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <Qt>

namespace mailcheck {
struct MessageHeaders;
}

// The notifier's rules that need no window: which press drags, which click opens the menu, what
// the labels draw, where a drag puts the window, how the stop/restart item switches.
namespace notifier {

// The notifier's controls, front to back; Form is the window's own background.
enum class Control { Command1, Label2, Label1, Label3, Form };

// A left press on the background or on a text line moves the window; the move takes the press,
// so its release is no click.
bool pressStartsDrag(Control pressed, Qt::MouseButton button);

// A click (press and release on the same control) on the background or any label opens the menu,
// unless its press started a move; the corner button only knows its own left click.
bool clickOpensMenu(Control pressed, Control released, Qt::MouseButton button);

// What a text line shows: the mail check ends its result with CR LF, which draws nothing.
QString visibleText(const QString& text);

// The notifier's tooltip: when the last check ended and how, as plain text.
QString outcomeText(const QDateTime& when, const QString& outcome);
// "3 messages", "1 message".
QString messagesText(const QString& count);
// A server's or socket's text made fit for one line of a tooltip: printable ASCII, bounded length.
QString detailText(const QString& text);

// Text from outside (a path, a server's words, a command line) made harmless for the line it is
// shown in: the explicit direction controls (U+202A to U+202E, U+2066 to U+2069) become U+FFFD,
// so a settings path with a right-to-left override cannot reverse the rest of the tooltip.
QString withoutDirectionControls(const QString& text);
// Each line longer than columns (a wide character counts two) broken into lines that fit: at its
// last blank that fits, or anywhere when a token has none, so nothing runs past the screen's edge.
QString wrapLines(const QString& text, int columns);
// The tooltip's lines as the tooltip shows them: the empty ones left out, the rest joined, wrapped
// at columns (0: not wrapped), and in markup when a line would otherwise be taken for it (a
// server's words never turn into markup).
inline constexpr int kToolTipColumns = 80;
QString shownToolTip(const QStringList& lines, int columns);

// The new messages as the tooltip lists them, in the order given (newest first): "差出人 — 件名",
// each cut to columns (a wide character counts two) with "…".
inline constexpr int kPreviewColumns = 60;
QStringList previewLines(const QList<mailcheck::MessageHeaders>& messages, int columns = kPreviewColumns);
// The notification's body listing them, one a line; & < > escaped where the server reads markup.
QString previewBody(const QStringList& lines, bool markup);

// The frame a move step proposes: the cursor less the grip, at the window's size.
Docking::Rect proposedFrame(QPoint cursor, QPoint grip, QSize size);

// Unload modes of the close query: the user closing the window, and the end of the session.
inline constexpr int UnloadFormControlMenu = 0;
inline constexpr int UnloadAppWindows = 2;

// The stop/restart item's captions; the caption is the only record of whether checking runs.
inline constexpr char16_t kCheckStopCaption[] = u"チェック停止(&S)";
inline constexpr char16_t kCheckStartCaption[] = u"チェック開始(&S)";

} // namespace notifier
