#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <optional>

// What is new in a mailbox is known by the messages' unique ids (UIDL), not by their count: read one
// on the phone while another arrives and the count stays.
namespace mailcheck {

struct UidlEntry {
    int number = 0;
    QByteArray uid;
    bool operator==(const UidlEntry&) const = default;
};

// One line of a UIDL listing, "n uid", with or without its line end: n a message number without sign
// or leading zero, uid 1 to 70 characters from 0x21 to 0x7E. Nothing when it is not that.
std::optional<UidlEntry> parseUidlLine(const QByteArray& line);

// The lines of a UIDL listing after its +OK, up to the lone ".". Rows that are not "n uid", whose
// number is above the mailbox's count, or whose number or uid came already, are dropped; no more
// rows are kept than the mailbox holds. A listing that never ends grows nothing.
class UidlReader {
public:
    // count: the messages STAT gave.
    explicit UidlReader(int count) : m_count(count) {}

    // True once the lone "." has come; lines after it are ignored.
    bool addLine(const QByteArray& line);
    bool done() const { return m_done; }
    const QList<UidlEntry>& entries() const { return m_entries; }
    int dropped() const { return m_dropped; }
    QSet<QByteArray> ids() const;

private:
    int m_count;
    QList<UidlEntry> m_entries;
    QSet<int> m_numbers;
    QSet<QByteArray> m_uids;
    int m_dropped = 0;
    bool m_done = false;
};

// At most this many headers are fetched in one check.
inline constexpr int kMaxHeadersFetched = 5;

// The numbers of the messages whose ids were not seen before, newest (highest number) first, at most
// limit of them.
QList<int> newMessages(const QList<UidlEntry>& current, const QSet<QByteArray>& seen,
                       int limit = kMaxHeadersFetched);

// The lines of a TOP reply after its +OK, up to the lone ".": dot-stuffing undone, lines joined with
// CR LF. At most cap bytes are kept; beyond, the reply is read to its end but no more kept.
class TopReader {
public:
    static constexpr qsizetype kCap = 64 * 1024;
    explicit TopReader(qsizetype cap = kCap) : m_cap(cap) {}

    // True once the lone "." has come; lines after it are ignored.
    bool addLine(const QByteArray& line);
    bool done() const { return m_done; }
    bool truncated() const { return m_truncated; }
    const QByteArray& header() const { return m_header; }

private:
    qsizetype m_cap;
    QByteArray m_header;
    bool m_truncated = false;
    bool m_done = false;
};

} // namespace mailcheck
