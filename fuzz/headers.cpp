#include "mailcheck/headers.h"
#include "fuzzsupport.h"
#include "mailcheck/uidl.h"

#include <QByteArray>
#include <QString>
#include <QUtf8StringView>

#include <cstddef>
#include <cstdint>

// Header blocks as a server may send them: whatever the bytes, the decoder gives short, plain,
// well-formed text, and the TOP reader keeps no more than its cap.
namespace {

void requirePlain(const QString& text, const char *field)
{
    FUZZ_REQUIRE(text.size() <= mailcheck::kMaxHeaderText, "%s of %lld units", field,
                 static_cast<long long>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        FUZZ_REQUIRE(u >= 0x20 && !(u >= 0x7F && u < 0xA0), "%s: control U+%04x", field, unsigned(u));
        FUZZ_REQUIRE(!(u >= 0x202A && u <= 0x202E) && !(u >= 0x2066 && u <= 0x2069), "%s: direction U+%04x",
                     field, unsigned(u));
        if (text[i].isHighSurrogate())
            FUZZ_REQUIRE(i + 1 < text.size() && text[++i].isLowSurrogate(), "%s: lone high surrogate", field);
        else
            FUZZ_REQUIRE(!text[i].isLowSurrogate(), "%s: lone low surrogate", field);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray block(reinterpret_cast<const char *>(data), qsizetype(size));

    const mailcheck::MessageHeaders headers = mailcheck::decodeHeaders(block);
    requirePlain(headers.from, "from");
    requirePlain(headers.subject, "subject");

    const QByteArray utf8 = mailcheck::rawHeaderToUtf8(block.left(mailcheck::kMaxFieldBytes));
    FUZZ_REQUIRE(QUtf8StringView(utf8).isValidUtf8(), "raw text gave invalid UTF-8 (%lld bytes)",
                 static_cast<long long>(utf8.size()));

    // The same bytes as a TOP reply's lines, against a small cap.
    mailcheck::TopReader top(256);
    for (const QByteArray& line : block.split('\n')) {
        if (top.addLine(line))
            break;
    }
    FUZZ_REQUIRE(top.header().size() <= 256, "TOP kept %lld bytes",
                 static_cast<long long>(top.header().size()));
    return 0;
}
