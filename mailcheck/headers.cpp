#include "mailcheck/headers.h"

#include "app/symbols.h"
#include "notifier/rules.h"

#include <QList>
#include <QRegularExpression>
#include <QUtf8StringView>
#include <cctype>
#include <cerrno>
#include <dlfcn.h>
// GIO names a member after Qt's signals keyword.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")
#include <iconv.h>

namespace mailcheck {

namespace {

struct Conversion {
    QByteArray utf8;
    qsizetype invalid = 0;
};

// iconv does the charsets; each byte it cannot take becomes U+FFFD, and the rest goes on.
Conversion convert(const char *charset, const QByteArray& raw)
{
    Conversion out;
    const iconv_t cd = ::iconv_open("UTF-8", charset);
    if (cd == iconv_t(-1)) {
        out.invalid = raw.size() + 1;
        return out;
    }
    static const QByteArray replacement = QString(QChar::ReplacementCharacter).toUtf8();
    QByteArray buffer(raw.size() * 4 + 16, Qt::Uninitialized);
    char *in = const_cast<char *>(raw.constData());
    size_t inLeft = size_t(raw.size());
    while (inLeft > 0) {
        char *outStart = buffer.data();
        char *outPtr = outStart;
        size_t outLeft = size_t(buffer.size());
        const size_t rc = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.utf8.append(outStart, outPtr - outStart);
        if (rc != size_t(-1) || errno == E2BIG)
            continue;
        out.utf8 += replacement;
        // An incomplete sequence at the end is a block cut short, not a sign of the wrong charset.
        if (errno == EINVAL)
            break;
        ++out.invalid;
        ++in;
        --inLeft;
    }
    char *outPtr = buffer.data();
    size_t outLeft = size_t(buffer.size());
    ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.utf8.append(buffer.constData(), outPtr - buffer.constData());
    ::iconv_close(cd);
    // glibc's UTF-8 takes sequences beyond U+10FFFF and surrogates as they are: Qt's does not.
    if (!QUtf8StringView(out.utf8).isValidUtf8()) {
        const QString text = QString::fromUtf8(out.utf8);
        out.invalid += text.count(QChar::ReplacementCharacter) - out.utf8.count(replacement);
        out.utf8 = text.toUtf8();
    }
    return out;
}

Conversion bestOf(std::initializer_list<const char *> charsets, const QByteArray& raw)
{
    Conversion best;
    bool first = true;
    for (const char *charset : charsets) {
        Conversion tried = convert(charset, raw);
        if (tried.invalid == 0)
            return tried;
        if (first || tried.invalid < best.invalid)
            best = std::move(tried);
        first = false;
    }
    return best;
}

bool isSpaceOrTab(char c)
{
    return c == ' ' || c == '\t';
}

// The first From and Subject of a header block, unfolded, each at most kMaxFieldBytes.
struct RawFields {
    QByteArray from;
    QByteArray subject;
    bool hasFrom = false;
    bool hasSubject = false;
};

RawFields rawFields(const QByteArray& block)
{
    RawFields fields;
    QByteArray *current = nullptr; // the field continuation lines add to
    const QByteArray head = block.left(kMaxHeaderBlock);
    qsizetype start = 0;
    while (start < head.size()) {
        qsizetype end = head.indexOf('\n', start);
        if (end < 0)
            end = head.size();
        QByteArray line = head.mid(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            break; // the body begins
        if (isSpaceOrTab(line.front())) {
            if (current)
                current->append(line.left(kMaxFieldBytes - current->size()));
            continue;
        }
        current = nullptr;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        bool *seen = nullptr;
        if (name == "from") {
            current = &fields.from;
            seen = &fields.hasFrom;
        } else if (name == "subject") {
            current = &fields.subject;
            seen = &fields.hasSubject;
        }
        // The first of each counts; a second From would be a forger's.
        if (!seen || *seen) {
            current = nullptr;
            continue;
        }
        *seen = true;
        current->append(line.mid(colon + 1).left(kMaxFieldBytes));
    }
    // C strings for GMime: a NUL must not cut the rest off.
    fields.from.replace('\0', ' ');
    fields.subject.replace('\0', ' ');
    return fields;
}

// ISO-2022-JP as Windows writes it (CP50220/CP50221): with NEC's row 13 (①, ㈱) and half-width
// katakana, which iconv's ISO-2022-JP refuses. Its JIS X 0208 bytes with the high bit set are
// EUC-JP, and EUC-JP-MS knows the Windows extensions, so the text goes through that.
Conversion iso2022jp(const QByteArray& raw)
{
    enum class Set { Ascii, Jis0208, Jis0212, Kana } set = Set::Ascii;
    constexpr char kInvalid = '\xff'; // never valid EUC-JP: becomes U+FFFD
    QByteArray euc;
    euc.reserve(raw.size() + raw.size() / 2);
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\x1b') {
            const QByteArray next = raw.mid(i + 1, 3);
            if (next.startsWith("(B") || next.startsWith("(J")) {
                set = Set::Ascii;
                i += 2;
            } else if (next.startsWith("$@") || next.startsWith("$B")) {
                set = Set::Jis0208;
                i += 2;
            } else if (next.startsWith("(I")) {
                set = Set::Kana;
                i += 2;
            } else if (next == "$(D") {
                set = Set::Jis0212;
                i += 3;
            } else {
                euc += kInvalid;
            }
            continue;
        }
        const bool graphic = c >= 0x21 && c <= 0x7E;
        if (set == Set::Ascii || !graphic) {
            euc += (c & 0x80) ? kInvalid : c;
        } else if (set == Set::Kana) {
            euc += c <= 0x5F ? QByteArray{"\x8e"} + char(c | 0x80) : QByteArray(1, kInvalid);
        } else if (i + 1 < raw.size() && raw[i + 1] >= 0x21 && raw[i + 1] <= 0x7E) {
            if (set == Set::Jis0212)
                euc += '\x8f';
            euc += char(c | 0x80);
            euc += char(raw[++i] | 0x80);
        } else {
            euc += kInvalid;
        }
    }
    return convert("EUC-JP-MS", euc);
}

// RFC 2047's Q: '_' a blank, =XX a byte.
QByteArray fromQ(const QByteArray& text)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            bytes += ' ';
        } else if (c == '=' && i + 2 < text.size() && std::isxdigit(uchar(text[i + 1])) &&
                   std::isxdigit(uchar(text[i + 2]))) {
            bytes += char(QByteArray::fromHex(text.mid(i + 1, 2)).at(0));
            i += 2;
        } else {
            bytes += c;
        }
    }
    return bytes;
}

// The charsets of Japanese mail, as Windows writes them: glibc's Shift_JIS, EUC-JP and ISO-2022-JP
// lack NEC's and IBM's additions (①, ㈱, ～), which Japanese mail carries under those names.
enum class Japanese { None, Iso2022jp, Cp932, EucJpMs, Utf8 };

Japanese japaneseCharset(const QString& label)
{
    const QString name = label.toLower();
    if (name == u"iso-2022-jp" || name == u"csiso2022jp" || name == u"cp50220" || name == u"cp50221")
        return Japanese::Iso2022jp;
    if (name == u"shift_jis" || name == u"shift-jis" || name == u"sjis" || name == u"x-sjis" ||
        name == u"windows-31j" || name == u"cp932" || name == u"ms_kanji" || name == u"csshiftjis")
        return Japanese::Cp932;
    if (name == u"euc-jp" || name == u"x-euc-jp" || name == u"eucjp-ms" || name == u"cseucpkdfmtjapanese")
        return Japanese::EucJpMs;
    if (name == u"utf-8" || name == u"utf8")
        return Japanese::Utf8;
    return Japanese::None;
}

Conversion convertJapanese(Japanese charset, const QByteArray& bytes)
{
    switch (charset) {
    case Japanese::Iso2022jp:
        return iso2022jp(bytes);
    case Japanese::Cp932:
        return convert("CP932", bytes);
    case Japanese::EucJpMs:
        return convert("EUC-JP-MS", bytes);
    case Japanese::Utf8:
    case Japanese::None:
        break;
    }
    return convert("UTF-8", bytes);
}

// Encoded words in those charsets (and UTF-8) turned into UTF-8 ones converted here, so a byte
// that does not fit becomes U+FFFD rather than GMime's '?'. Words in other charsets, and all the
// rest of the decoding, stay GMime's.
QByteArray japaneseWordsAsUtf8(const QByteArray& text)
{
    if (!text.contains("=?"))
        return text;
    static const QRegularExpression word(
        QStringLiteral("=\\?([^?*\\s]+)(\\*[^?\\s]*)?\\?([bq])\\?([^?\\s]*)\\?="),
        QRegularExpression::CaseInsensitiveOption);
    const QString latin = QString::fromLatin1(text);
    // A run of words in one charset with only blanks between is one text, as GMime takes it: a
    // broken mailer may split a character or an escape sequence over two.
    QByteArray out;
    QByteArray run;
    Japanese runCharset = Japanese::None;
    qsizetype done = 0;
    qsizetype runStart = -1;
    qsizetype runEnd = -1;
    const auto flush = [&] {
        if (runStart < 0)
            return;
        out += text.mid(done, runStart - done);
        out += "=?UTF-8?B?" + convertJapanese(runCharset, run).utf8.toBase64() + "?=";
        done = runEnd;
        run.clear();
        runStart = -1;
    };
    for (QRegularExpressionMatchIterator it = word.globalMatch(latin); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const Japanese charset = japaneseCharset(match.captured(1));
        if (runStart >= 0 &&
            (charset != runCharset || !text.mid(runEnd, match.capturedStart() - runEnd).trimmed().isEmpty()))
            flush();
        if (charset == Japanese::None)
            continue;
        if (runStart < 0) {
            runStart = match.capturedStart();
            runCharset = charset;
        }
        runEnd = match.capturedEnd();
        const QByteArray payload = match.captured(4).toLatin1();
        run += match.captured(3).compare(QLatin1String("b"), Qt::CaseInsensitive) == 0
                   ? QByteArray::fromBase64(payload)
                   : fromQ(payload);
    }
    flush();
    out += text.mid(done);
    return out;
}

} // namespace

QByteArray rawHeaderToUtf8(const QByteArray& raw)
{
    bool eightBit = false;
    bool escape = false;
    for (const char c : raw) {
        eightBit = eightBit || (c & 0x80);
        escape = escape || c == '\x1b';
    }
    if (!eightBit && !escape)
        return japaneseWordsAsUtf8(raw);
    if (!eightBit) {
        Conversion windows = iso2022jp(raw);
        if (windows.invalid == 0)
            return japaneseWordsAsUtf8(windows.utf8);
        Conversion other = bestOf({"ISO-2022-JP-3", "ISO-2022-JP-2"}, raw);
        return japaneseWordsAsUtf8(other.invalid < windows.invalid ? other.utf8 : windows.utf8);
    }
    // EUC-JP before CP932: EUC-JP text often reads as valid half-width katakana in CP932, while
    // Shift_JIS text is seldom valid EUC-JP.
    return japaneseWordsAsUtf8(bestOf({"UTF-8", "EUC-JP-MS", "CP932"}, raw).utf8);
}

QString plainHeaderText(const QString& text)
{
    QString clean;
    clean.reserve(qMin(text.size(), kMaxHeaderText + 1));
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || (u >= 0x7F && u < 0xA0) || u == 0x2028 || u == 0x2029;
        if (control || u == ' ') {
            if (!clean.isEmpty() && !clean.endsWith(QLatin1Char(' ')))
                clean += QLatin1Char(' ');
        } else {
            clean += c;
        }
        if (clean.size() > kMaxHeaderText)
            break;
    }
    if (clean.size() > kMaxHeaderText) {
        qsizetype cut = kMaxHeaderText - 1;
        if (clean[cut].isLowSurrogate())
            --cut;
        clean = clean.left(cut).trimmed() + QChar(0x2026);
    }
    // The notifier's rule for every outside text, applied here too so no caller forgets it.
    return notifier::withoutDirectionControls(clean.trimmed());
}

// GMime, reached through dlopen: linking it would load it, GObject and GIO at every start.
struct HeaderDecoder::GMime {
    void *library = nullptr;
    decltype(&g_mime_init) init = nullptr;
    decltype(&g_mime_parser_options_new) optionsNew = nullptr;
    decltype(&g_mime_parser_options_free) optionsFree = nullptr;
    decltype(&g_mime_parser_options_set_fallback_charsets) setFallback = nullptr;
    decltype(&g_mime_parser_options_set_rfc2047_compliance_mode) setRfc2047Mode = nullptr;
    decltype(&g_mime_parser_options_set_address_compliance_mode) setAddressMode = nullptr;
    decltype(&g_mime_utils_header_decode_text) decodeText = nullptr;
    decltype(&internet_address_list_parse) parseList = nullptr;
    decltype(&internet_address_list_length) listLength = nullptr;
    decltype(&internet_address_list_get_address) listAddress = nullptr;
    decltype(&internet_address_get_name) addressName = nullptr;
    decltype(&internet_address_mailbox_get_type) mailboxType = nullptr;
    decltype(&internet_address_mailbox_get_addr) mailboxAddr = nullptr;
    decltype(&internet_address_group_get_type) groupType = nullptr;
    decltype(&internet_address_group_get_members) groupMembers = nullptr;
    decltype(&g_type_check_instance_is_a) isA = nullptr;
    decltype(&g_object_unref) unref = nullptr;
    decltype(&g_free) free = nullptr;
    GMimeParserOptions *options = nullptr;

    bool resolve()
    {
        const auto find = [this](auto& function, const char *name) {
            return app::resolveSymbol(library, function, name);
        };
        return find(init, "g_mime_init") && find(optionsNew, "g_mime_parser_options_new") &&
               find(optionsFree, "g_mime_parser_options_free") &&
               find(setFallback, "g_mime_parser_options_set_fallback_charsets") &&
               find(setRfc2047Mode, "g_mime_parser_options_set_rfc2047_compliance_mode") &&
               find(setAddressMode, "g_mime_parser_options_set_address_compliance_mode") &&
               find(decodeText, "g_mime_utils_header_decode_text") &&
               find(parseList, "internet_address_list_parse") &&
               find(listLength, "internet_address_list_length") &&
               find(listAddress, "internet_address_list_get_address") &&
               find(addressName, "internet_address_get_name") &&
               find(mailboxType, "internet_address_mailbox_get_type") &&
               find(mailboxAddr, "internet_address_mailbox_get_addr") &&
               find(groupType, "internet_address_group_get_type") &&
               find(groupMembers, "internet_address_group_get_members") &&
               find(isA, "g_type_check_instance_is_a") && find(unref, "g_object_unref") &&
               find(free, "g_free");
    }

    void start()
    {
        init();
        options = optionsNew();
        // For encoded words in a charset iconv does not know: the same guesses as for raw text.
        static const char *fallback[] = {"UTF-8", "EUC-JP-MS", "CP932", nullptr};
        setFallback(options, fallback);
        setRfc2047Mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
        setAddressMode(options, GMIME_RFC_COMPLIANCE_LOOSE);
    }

    QString text(const QByteArray& utf8)
    {
        char *decoded = decodeText(options, utf8.constData());
        const QString result = QString::fromUtf8(decoded);
        free(decoded);
        return result;
    }

    // The first mailbox's name, or its address; a group's first member, or the group's name.
    QString firstSender(InternetAddressList *list, int depth = 0)
    {
        if (!list || listLength(list) < 1)
            return {};
        InternetAddress *address = listAddress(list, 0);
        const QString name = QString::fromUtf8(addressName(address)).trimmed();
        const auto instance = reinterpret_cast<GTypeInstance *>(address);
        if (isA(instance, mailboxType()))
            return name.isEmpty()
                       ? QString::fromUtf8(mailboxAddr(reinterpret_cast<InternetAddressMailbox *>(address)))
                       : name;
        if (depth == 0 && isA(instance, groupType())) {
            const QString member =
                firstSender(groupMembers(reinterpret_cast<InternetAddressGroup *>(address)), depth + 1);
            return member.isEmpty() ? name : member;
        }
        return name;
    }

    QString from(const QByteArray& utf8)
    {
        InternetAddressList *list = parseList(options, utf8.constData());
        const QString sender = firstSender(list);
        if (list)
            unref(list);
        return sender;
    }
};

HeaderDecoder::HeaderDecoder(QByteArray library) : m_library(std::move(library)) {}

// The library stays loaded: GObject's types cannot be unregistered.
HeaderDecoder::~HeaderDecoder()
{
    if (m_gmime && m_gmime->options)
        m_gmime->optionsFree(m_gmime->options);
}

bool HeaderDecoder::hasGMime()
{
    if (!m_loadTried) {
        m_loadTried = true;
        auto gmime = std::make_unique<GMime>();
        gmime->library = ::dlopen(m_library.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!gmime->library) {
            m_problem = QString::fromLocal8Bit(::dlerror());
        } else if (!gmime->resolve()) {
            m_problem =
                QString::fromLocal8Bit(m_library) + QStringLiteral(" lacks the functions it should have");
        } else {
            gmime->start();
            m_gmime = std::move(gmime);
        }
    }
    return m_gmime != nullptr;
}

MessageHeaders HeaderDecoder::decode(const QByteArray& block)
{
    if (!hasGMime())
        m_tell(m_problem + QStringLiteral("; senders and subjects are shown undecoded"));
    const RawFields fields = rawFields(block);
    return {plainHeaderText(decodeFrom(fields.from)), plainHeaderText(decodeText(fields.subject))};
}

QString HeaderDecoder::decodeText(const QByteArray& value)
{
    const QByteArray utf8 = rawHeaderToUtf8(value.trimmed());
    return m_gmime ? m_gmime->text(utf8) : QString::fromUtf8(utf8);
}

QString HeaderDecoder::decodeFrom(const QByteArray& value)
{
    const QByteArray utf8 = rawHeaderToUtf8(value.trimmed());
    if (m_gmime) {
        const QString sender = m_gmime->from(utf8);
        return sender.isEmpty() ? m_gmime->text(utf8) : sender;
    }
    // Without GMime: the name when it is plain text, else what lies between < and >.
    const QString text = QString::fromUtf8(utf8);
    const qsizetype open = text.indexOf(QLatin1Char('<'));
    const qsizetype close = text.indexOf(QLatin1Char('>'), open + 1);
    if (open < 0 || close < 0)
        return text;
    QString name = text.left(open).trimmed();
    if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
        name = name.mid(1, name.size() - 2);
    if (!name.isEmpty() && !name.contains(QLatin1String("=?")))
        return name;
    return text.mid(open + 1, close - open - 1).trimmed();
}

MessageHeaders decodeHeaders(const QByteArray& block)
{
    static HeaderDecoder decoder;
    return decoder.decode(block);
}

} // namespace mailcheck
