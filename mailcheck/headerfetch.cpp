#include "mailcheck/headerfetch.h"

#include "mailcheck/seenids.h"

namespace mailcheck {

void HeaderFetch::begin(const QString& count)
{
    // No listing is kept longer than the seen ids can be: a count past that is no bound at all.
    bool ok = false;
    const qlonglong messages = count.toLongLong(&ok);
    m_uidl.emplace(ok ? int(qMin<qlonglong>(messages, SeenIds::kMaxIds)) : int(SeenIds::kMaxIds));
    m_wanted.clear();
    m_top.reset();
    m_headers.clear();
}

bool HeaderFetch::addIdLine(const QByteArray& line)
{
    if (!m_uidl || !m_uidl->addLine(line))
        return false;
    const QSet<QByteArray> seen = m_load ? m_load() : QSet<QByteArray>();
    m_wanted = newMessages(m_uidl->entries(), seen);
    if (m_save)
        m_save(m_uidl->ids());
    m_uidl.reset();
    return true;
}

std::optional<int> HeaderFetch::takeNext()
{
    if (m_wanted.isEmpty())
        return std::nullopt;
    return m_wanted.takeFirst();
}

bool HeaderFetch::addHeaderLine(const QByteArray& line)
{
    if (!m_top || !m_top->addLine(line))
        return false;
    m_headers.append(m_top->header());
    m_top.reset();
    return true;
}

void HeaderFetch::cutOff()
{
    if (m_top && !m_top->header().isEmpty())
        m_headers.append(m_top->header());
    m_top.reset();
    m_uidl.reset();
    m_wanted.clear();
}

} // namespace mailcheck
