#include "mailcheck/headers.h"

#include "notifier/rules.h"

#include <QList>
#include <cerrno>
#include <dlfcn.h>
// GIO names a member after Qt's signals keyword.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")
#include <iconv.h>
#include <type_traits>

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
        ++out.invalid;
        out.utf8 += replacement;
        // An incomplete sequence at the end is one invalid byte run: nothing more follows it.
        if (errno == EINVAL)
            break;
        ++in;
        --inLeft;
    }
    char *outPtr = buffer.data();
    size_t outLeft = size_t(buffer.size());
    ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.utf8.append(buffer.constData(), outPtr - buffer.constData());
    ::iconv_close(cd);
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
        return raw;
    // Japanese mail's own ISO-2022-JP often carries NEC's circled digits and the like: JIS X 0213
    // has most of them where NEC put them.
    if (!eightBit)
        return bestOf({"ISO-2022-JP", "ISO-2022-JP-3", "ISO-2022-JP-2"}, raw).utf8;
    // EUC-JP before CP932: EUC-JP text often reads as valid half-width katakana in CP932, while
    // Shift_JIS text is seldom valid EUC-JP.
    return bestOf({"UTF-8", "EUC-JP-MS", "CP932"}, raw).utf8;
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
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(::dlsym(library, name));
            return function != nullptr;
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
