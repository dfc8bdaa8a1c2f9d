#include "Workflows/TableRound.h"

TableRound::TableRound(QObject* parent)
    : QObject(parent)
{
}

void TableRound::start(const QList<quint64>& serials)
{
    if (m_waiting.isEmpty())
        m_read.clear();
    for (const quint64 serial : serials)
        m_waiting.insert(serial);
    // Nobody to ask: the round is over at once.
    if (serials.isEmpty() && m_waiting.isEmpty())
        Q_EMIT finished(0, 0);
}

void TableRound::read(quint64 serial, int recordings)
{
    if (!m_waiting.remove(serial))
        return;
    m_read.insert(serial, recordings);
    finishIfDone();
}

void TableRound::missed(quint64 serial)
{
    if (m_waiting.remove(serial))
        finishIfDone();
}

void TableRound::finishIfDone()
{
    if (!m_waiting.isEmpty())
        return;
    int recordings = 0;
    for (const int count : qAsConst(m_read))
        recordings += count;
    Q_EMIT finished(m_read.size(), recordings);
}
