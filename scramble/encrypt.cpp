#include "scramble/encrypt.h"

#include "docking/mydoevents.h"

#include <QStringView>

#include <algorithm>
#include <iterator>

namespace Encrypt {

namespace {

constexpr QChar escapeMark = u'`';

constexpr CodeEntry codes[] = {
    {u'a', ",/I"},  {u'b', "lVx"}, {u'c', ":a/"},  {u'd', "F9;"}, {u'e', "X@g"},  {u'f', "@%U"},
    {u'g', "i-6"},  {u'h', "Lnq"}, {u'i', "xK|"},  {u'j', ".Xq"}, {u'k', "d$\""}, {u'l', "ofy"},
    {u'm', "(^A"},  {u'n', "AFj"}, {u'o', "&\"O"}, {u'p', "?Gn"}, {u'q', "5LT"},  {u'r', "j#n"},
    {u's', "E1:"},  {u't', "aF;"}, {u'u', "'X\""}, {u'v', "KvS"}, {u'w', "YT_"},  {u'x', "pg4"},
    {u'y', "{vR"},  {u'z', "tyj"}, {u'1', "YK6"},  {u'2', "zZj"}, {u'3', "HMj"},  {u'4', "Uu;"},
    {u'5', "YiR"},  {u'6', "h[Q"}, {u'7', "Cly"},  {u'8', "tq$"}, {u'9', "b&1"},  {u'0', "3{N"},
    {u'A', "8hP"},  {u'B', ",q2"}, {u'C', "!cc"},  {u'D', "I%J"}, {u'E', "=dN"},  {u'F', "i-D"},
    {u'G', "3#z"},  {u'H', "dP+"}, {u'I', "5Qa"},  {u'J', "SwB"}, {u'K', "z#e"},  {u'L', "Ak2"},
    {u'M', "y1B"},  {u'N', "QlN"}, {u'O', "#0h"},  {u'P', "?P,"}, {u'Q', "mV1"},  {u'R', "xTv"},
    {u'S', "g,n"},  {u'T', "<7o"}, {u'U', "hFP"},  {u'V', "xxi"}, {u'W', "/I:"},  {u'X', "KC+"},
    {u'Y', "~co"},  {u'Z', "|,j"}, {u'!', "%$a"},  {u'@', "S%k"}, {u'#', "8U8"},  {u'$', "~IU"},
    {u'%', "F-F"},  {u'^', "b<f"}, {u'&', "f1Y"},  {u'*', ".@U"}, {u'(', "b15"},  {u')', "//D"},
    {u'_', "q)H"},  {u'-', "hRZ"}, {u'=', "G,P"},  {u'+', "_X~"}, {u'[', "8|O"},  {u']', "5/x"},
    {u'{', "Wu<"},  {u'}', "@eK"}, {u':', ":eL"},  {u';', "HnS"}, {u'\'', "R{z"}, {u'"', "yA:"},
    {u',', "}B:"},  {u'.', "jV^"}, {u'<', "7km"},  {u'>', ":+j"}, {u'/', "4K_"},  {u'?', ".F$"},
    {u'\\', "jFe"}, {u'|', ".h:"}, {u' ', "Gg^"},
};

constexpr char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Codes must be printable, free of spaces, never start with the escape mark and stay distinct even when
// letter case is ignored, so that a stored form splits back into codes one way only.
consteval bool tableIsSound()
{
    for (std::size_t i = 0; i < std::size(codes); ++i) {
        const CodeEntry& entry = codes[i];
        if (char16_t(entry.code[0]) == escapeMark.unicode())
            return false;
        for (int k = 0; k < 3; ++k) {
            if (entry.code[k] <= ' ' || entry.code[k] > '~')
                return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (codes[j].plain == entry.plain)
                return false;
            if (std::equal(entry.code, entry.code + 3, codes[j].code,
                           [](char a, char b) { return lowered(a) == lowered(b); }))
                return false;
        }
    }
    return true;
}
static_assert(std::size(codes) == 93);
static_assert(tableIsSound());

// A surrogate pair is one character of two units.
qsizetype characterLength(QStringView text, qsizetype pos)
{
    if (pos + 1 < text.size() && text[pos].isHighSurrogate() && text[pos + 1].isLowSurrogate())
        return 2;
    return 1;
}

const CodeEntry *entryForPlain(QStringView character)
{
    if (character.size() != 1)
        return nullptr;
    const auto found = std::find_if(std::begin(codes), std::end(codes), [character](const CodeEntry& entry) {
        return entry.plain == character.front().unicode();
    });
    return found == std::end(codes) ? nullptr : found;
}

const CodeEntry *entryForCode(QStringView chunk)
{
    if (chunk.size() != 3)
        return nullptr;
    const auto found = std::find_if(std::begin(codes), std::end(codes), [chunk](const CodeEntry& entry) {
        return std::equal(chunk.begin(), chunk.end(), entry.code,
                          [](QChar a, char b) { return a.unicode() == char16_t(b); });
    });
    return found == std::end(codes) ? nullptr : found;
}

// The escape a character without a code is stored as; the decoder accepts nothing else as an escape.
bool isEscape(QStringView chunk)
{
    if (chunk.size() < 3 || chunk.front() != escapeMark || chunk.back() != escapeMark)
        return false;
    const QStringView character = chunk.sliced(1, chunk.size() - 2);
    return characterLength(character, 0) == character.size() && !entryForPlain(character);
}

// Chunks are three units long, except the escape of a character outside the basic plane (four) and the
// tail of a text whose length is not a whole number of chunks.
qsizetype chunkLength(QStringView text, qsizetype pos)
{
    const qsizetype left = text.size() - pos;
    if (left >= 4 && text[pos] == escapeMark && characterLength(text, pos + 1) == 2 &&
        text[pos + 3] == escapeMark)
        return 4;
    return std::min<qsizetype>(left, 3);
}

void appendEncoded(QString& result, QStringView character)
{
    if (const CodeEntry *entry = entryForPlain(character)) {
        result += QLatin1String(entry->code, 3);
        return;
    }
    result += escapeMark;
    result += character;
    result += escapeMark;
}

void appendDecoded(QString& result, QStringView chunk)
{
    if (const CodeEntry *entry = entryForCode(chunk))
        result += QChar(entry->plain);
    else if (isEscape(chunk))
        result += chunk.sliced(1, chunk.size() - 2);
    else
        result += chunk;
}

} // namespace

std::span<const CodeEntry> codeTable()
{
    return codes;
}

// Positions are qsizetype, so texts of any length convert; there is no 16-bit bound.
QString EncodePassword(const QString& plain)
{
    // A handler run by the pump may assign to the caller's string; keep converting the value we were given.
    const QString text = plain;
    QString result;
    result.reserve(text.size() * 3);
    for (qsizetype pos = 0; pos < text.size();) {
        mdlMyDoevents::MyDoEvents();
        const qsizetype length = characterLength(text, pos);
        appendEncoded(result, QStringView(text).sliced(pos, length));
        pos += length;
        mdlMyDoevents::MyDoEvents();
    }
    return result;
}

QString DecodePassword(const QString& stored)
{
    const QString text = stored;
    QString result;
    result.reserve(text.size() / 3 + 2);
    for (qsizetype pos = 0; pos < text.size();) {
        mdlMyDoevents::MyDoEvents();
        const qsizetype length = chunkLength(text, pos);
        appendDecoded(result, QStringView(text).sliced(pos, length));
        pos += length;
        mdlMyDoevents::MyDoEvents();
    }
    return result;
}

} // namespace Encrypt
