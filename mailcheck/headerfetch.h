#pragma once

#include "mailcheck/uidl.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>

namespace mailcheck {

// What one check learns beyond the count when the senders and subjects are asked for: the UIDL
// listing, then TOP n 0 for the new messages, newest first. It holds the multi-line replies while they
// come, so the conversation itself stays a table of states; the window makes one per check.
class HeaderFetch {
public:
    using LoadIds = std::function<QSet<QByteArray>()>;
    using SaveIds = std::function<void(const QSet<QByteArray>&)>;

    // load: the ids seen at the previous check, asked for once the listing is in; save: the ids of
    // this listing, to be the seen ones next time.
    HeaderFetch(LoadIds load, SaveIds save) : m_load(std::move(load)), m_save(std::move(save)) {}

    // The count was read: the listing to come has at most that many rows.
    void begin(const QString& count);
    // One line of the UIDL listing; true once it is complete. The seen ids are then saved and the new
    // messages known.
    bool addIdLine(const QByteArray& line);
    // The next message whose header is wanted, taken off the list; nothing once all are asked for.
    std::optional<int> takeNext();
    // TOP's +OK came: its lines follow.
    void beginHeader() { m_top.emplace(); }
    // One line of a TOP reply; true once it is complete, and its header kept.
    bool addHeaderLine(const QByteArray& line);
    // A reply cut off (connection lost, line too long, time out): what came of it is kept.
    void cutOff();

    // The headers read so far, newest first, as the server sent them.
    const QList<QByteArray>& headers() const { return m_headers; }

private:
    LoadIds m_load;
    SaveIds m_save;
    std::optional<UidlReader> m_uidl;
    QList<int> m_wanted;
    std::optional<TopReader> m_top;
    QList<QByteArray> m_headers;
};

} // namespace mailcheck
