#pragma once

#include "app/log.h"

#include <QByteArray>
#include <QString>
#include <memory>

// The sender and subject of one message, read from its header block as TOP n 0 returns it.
namespace mailcheck {

struct MessageHeaders {
    QString from;    // the display name, or the address when there is none
    QString subject; // empty when the message has none
    bool operator==(const MessageHeaders&) const = default;
};

// No more of a header block is read; what lies beyond is as if cut off.
inline constexpr qsizetype kMaxHeaderBlock = 64 * 1024;
// No more of one field is decoded: a subject longer than this is no subject anyone reads.
inline constexpr qsizetype kMaxFieldBytes = 8 * 1024;
// A decoded text longer than this ends in "…".
inline constexpr qsizetype kMaxHeaderText = 256;

// Decodes header blocks with GMime 3 (RFC 2047 words, addresses), loaded at the first decode so that
// start-up does not pay for it. Raw 8-bit text, raw ISO-2022-JP and encoded words in the charsets
// Japanese mail uses are converted here first, through iconv, so an invalid byte becomes U+FFFD.
// Without GMime the decoder still works, with other encoded words left as they are, and says why
// once on standard error. Not thread-safe: one thread uses one decoder.
class HeaderDecoder {
public:
    // library: the GMime to load.
    explicit HeaderDecoder(QByteArray library = QByteArrayLiteral("libgmime-3.0.so.0"));
    ~HeaderDecoder();
    HeaderDecoder(const HeaderDecoder&) = delete;
    HeaderDecoder& operator=(const HeaderDecoder&) = delete;

    // A header block, possibly cut short, in any state: plain text for any line it is shown in,
    // without control characters or direction overrides, at most kMaxHeaderText long.
    MessageHeaders decode(const QByteArray& block);
    // Loads GMime if that was not tried yet; false when it cannot be had (loadProblem says why).
    bool hasGMime();
    QString loadProblem() const { return m_problem; }

private:
    struct GMime;
    QString decodeText(const QByteArray& value);
    QString decodeFrom(const QByteArray& value);

    QByteArray m_library;
    std::unique_ptr<GMime> m_gmime;
    bool m_loadTried = false;
    QString m_problem;
    app::TellOnce m_tell;
};

// The program's decoder, made at its first use.
MessageHeaders decodeHeaders(const QByteArray& block);

// A header field's raw bytes as UTF-8: 7-bit text with ISO-2022-JP escapes converted from it, 8-bit
// text from whichever of UTF-8, EUC-JP and CP932 fits it best; bytes that fit none become U+FFFD.
// Encoded words in ISO-2022-JP, Shift_JIS, EUC-JP or UTF-8 become UTF-8 words; others stay.
QByteArray rawHeaderToUtf8(const QByteArray& raw);

// The text made safe for one line: controls become blanks (runs of them one), direction controls
// U+FFFD, at most kMaxHeaderText long.
QString plainHeaderText(const QString& text);

} // namespace mailcheck
