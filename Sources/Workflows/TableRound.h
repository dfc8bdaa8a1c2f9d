#pragma once

#include <QMap>
#include <QObject>
#include <QSet>

// One look at what every connected sensor holds: the sensors whose tables
// were asked for together, and the end of the round once each of them has
// answered, failed to or gone away. A sensor asked for again while the
// round runs is simply still waited for.
class TableRound : public QObject
{
    Q_OBJECT
public:
    explicit TableRound(QObject* parent = nullptr);

    void start(const QList<quint64>& serials);
    bool isRunning() const { return !m_waiting.isEmpty(); }

public Q_SLOTS:
    // The sensor's table is in and lists this many recordings.
    void read(quint64 serial, int recordings);
    // No table came from the sensor (it failed to answer or went away).
    void missed(quint64 serial);

Q_SIGNALS:
    // Every sensor of the round has answered or is gone: the tables read
    // and the recordings they list together.
    void finished(int sensors, int recordings);

private:
    void finishIfDone();

    QSet<quint64> m_waiting;
    QMap<quint64, int> m_read;
};
