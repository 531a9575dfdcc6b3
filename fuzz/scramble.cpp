#include "fuzzsupport.h"
#include "scramble/encrypt.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

// The password's stored form. Any text, lone surrogates included, must come back from its stored
// form unchanged; any stored text, however damaged, must decode without harm.
namespace {

bool onlyTableCharacters(const QString& text)
{
    for (const QChar c : text) {
        bool found = false;
        for (const Encrypt::CodeEntry& entry : Encrypt::codeTable())
            found = found || entry.plain == c.unicode();
        if (!found)
            return false;
    }
    return true;
}

} // namespace

// No application, so no event dispatcher: the conversions' message pump returns at once. It would
// cost a system call per character and adds nothing here; the pump's re-entry has tests of its own.

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The first byte picks how the rest becomes text: raw UTF-16 units reach every character,
    // Latin-1 bytes hit the table often.
    if (size == 0)
        return 0;
    const auto *rest = reinterpret_cast<const char *>(data + 1);
    QString text;
    if (data[0] & 1) {
        // Copied, not cast: the bytes need not be aligned for UTF-16 units.
        text = QString(qsizetype((size - 1) / 2), Qt::Uninitialized);
        std::memcpy(text.data(), rest, std::size_t(text.size()) * 2);
    } else {
        text = QString::fromLatin1(rest, qsizetype(size - 1));
    }

    const QString stored = Encrypt::EncodePassword(text);
    FUZZ_REQUIRE(Encrypt::DecodePassword(stored) == text, "round trip of %lld units",
                 static_cast<long long>(text.size()));
    if (onlyTableCharacters(text)) {
        FUZZ_REQUIRE(stored.size() == 3 * text.size(), "table text of %lld units stored in %lld",
                     static_cast<long long>(text.size()), static_cast<long long>(stored.size()));
        for (const QChar c : stored)
            FUZZ_REQUIRE(c.unicode() > 0x20 && c.unicode() < 0x7f, "code character U+%04x", c.unicode());
    }

    // The same bytes as a damaged stored form: decoding never grows the text.
    const QString decoded = Encrypt::DecodePassword(text);
    FUZZ_REQUIRE(decoded.size() <= text.size(), "decoded %lld units from %lld",
                 static_cast<long long>(decoded.size()), static_cast<long long>(text.size()));
    return 0;
}
