#include "mailcheck/uidl.h"

#include <algorithm>

namespace mailcheck {

namespace {

QByteArray withoutLineEnd(const QByteArray& line)
{
    QByteArray bare = line;
    if (bare.endsWith('\n'))
        bare.chop(1);
    if (bare.endsWith('\r'))
        bare.chop(1);
    return bare;
}

} // namespace

std::optional<UidlEntry> parseUidlLine(const QByteArray& line)
{
    const QByteArray bare = withoutLineEnd(line);
    const qsizetype space = bare.indexOf(' ');
    // Nine digits at most: no mailbox holds a billion messages, and the number fits an int.
    if (space < 1 || space > 9 || bare[0] == '0')
        return std::nullopt;
    int number = 0;
    for (qsizetype i = 0; i < space; ++i) {
        if (bare[i] < '0' || bare[i] > '9')
            return std::nullopt;
        number = number * 10 + (bare[i] - '0');
    }
    QByteArray uid = bare.mid(space + 1);
    if (uid.isEmpty() || uid.size() > 70)
        return std::nullopt;
    for (const char c : uid) {
        if (c < 0x21 || c > 0x7E)
            return std::nullopt;
    }
    return UidlEntry{number, std::move(uid)};
}

bool UidlReader::addLine(const QByteArray& line)
{
    if (m_done)
        return true;
    if (withoutLineEnd(line) == ".") {
        m_done = true;
        return true;
    }
    const std::optional<UidlEntry> entry = parseUidlLine(line);
    if (!entry || entry->number > m_count || m_numbers.contains(entry->number) ||
        m_uids.contains(entry->uid)) {
        ++m_dropped;
        return false;
    }
    m_numbers.insert(entry->number);
    m_uids.insert(entry->uid);
    m_entries.append(*entry);
    return false;
}

QSet<QByteArray> UidlReader::ids() const
{
    return m_uids;
}

QList<int> newMessages(const QList<UidlEntry>& current, const QSet<QByteArray>& seen, int limit)
{
    QList<int> fresh;
    for (const UidlEntry& entry : current) {
        if (!seen.contains(entry.uid))
            fresh.append(entry.number);
    }
    std::sort(fresh.begin(), fresh.end(), std::greater<int>());
    if (fresh.size() > limit)
        fresh.resize(qMax(limit, 0));
    return fresh;
}

bool TopReader::addLine(const QByteArray& line)
{
    if (m_done)
        return true;
    QByteArray bare = withoutLineEnd(line);
    if (bare == ".") {
        m_done = true;
        return true;
    }
    if (m_truncated)
        return false;
    if (bare.startsWith('.'))
        bare.remove(0, 1);
    bare += "\r\n";
    const qsizetype room = m_cap - m_header.size();
    if (bare.size() > room) {
        bare.truncate(room);
        m_truncated = true;
    }
    m_header += bare;
    return false;
}

} // namespace mailcheck
