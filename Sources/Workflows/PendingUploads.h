#pragma once

#include <QList>
#include <QMultiMap>
#include <QObject>
#include <QTimer>

#include <functional>

class ActiveUploads;
class AllocationTables;

// The uploads asked for and not yet running, per sensor (a sensor may have
// several entries, duplicates too), and the one-second check that starts
// the next one of each sensor once it is free, online and its table read.
class PendingUploads : public QObject
{
    Q_OBJECT
public:
    static constexpr int kCheckIntervalMs = 1000;

    using Online = std::function<bool(quint64 serial)>;
    // Starts the upload of that measurement from that sensor; true when its
    // readers are queued.
    using Start = std::function<bool(quint64 serial, quint64 measurementId)>;

    PendingUploads(const ActiveUploads& active, AllocationTables* tables, Online online, Start start,
                   QObject* parent = nullptr);

    void add(quint64 serial, quint64 measurementId);
    // An upload that broke off waits again, once.
    void resume(quint64 serial, quint64 measurementId);
    void remove(quint64 serial, quint64 measurementId);
    // The sensor's pending ids, the one scheduled last first.
    QList<quint64> of(quint64 serial) const { return m_entries.values(serial); }
    const QMultiMap<quint64, quint64>& entries() const { return m_entries; }

    bool isChecking() const { return m_timer.isActive(); }
    void stopChecking() { m_timer.stop(); }
    // Starts the sensor's next upload if it can; true while the sensor has
    // entries that wait for something.
    bool check(quint64 serial);

Q_SIGNALS:
    void checkDue();
    // Entries were added or removed.
    void changed();

private:
    const ActiveUploads& m_active;
    AllocationTables* m_tables;
    Online m_online;
    Start m_start;
    QMultiMap<quint64, quint64> m_entries;
    QTimer m_timer;
};
