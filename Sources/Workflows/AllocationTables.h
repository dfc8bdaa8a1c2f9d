#pragma once

#include <QMap>
#include <QObject>
#include <QSet>

class AppController;
class MeasurementController;
class Message;
class UploadMAT;

// Reads each sensor's allocation table, the list of its recordings, into
// the measurement registry, through the queues of the workflow that owns it.
// One table reader per sensor is kept for the whole run and reused. A newly
// connected sensor first answers who it is; a table read asked for before
// that waits for it (or for kIdentityWaitMs), so that the 2 KB page does not
// hold up those answers on a slow link.
class AllocationTables : public QObject
{
    Q_OBJECT
public:
    static constexpr int kIdentityWaitMs = 1500;

    AllocationTables(AppController* scheduler, MeasurementController* measurements, QObject* parent = nullptr);

    // Queues a read of the sensor's table unless one is on its way.
    void read(quint64 serial);
    // The same, or after the sensor has said who it is, if it has not yet.
    void readOnceKnown(quint64 serial);
    // Whether the table has been read since the sensor connected, and no
    // new read is on its way.
    bool isRead(quint64 serial) const { return m_read.contains(serial); }
    bool isReadAndSettled(quint64 serial) const;
    bool isReading(quint64 serial) const;
    // A read waits for the sensor to say who it is.
    bool isDeferred(quint64 serial) const { return m_deferred.contains(serial); }
    // The table has been parsed (the registry lists the recordings).
    void markRead(quint64 serial) { m_read.insert(serial); }

    void sensorJoined(quint64 serial);
    void sensorKnown(quint64 serial);
    void sensorLeft(quint64 serial);

    // Whether the message is waiting to be sent or for its reply, and has
    // not given up.
    static bool queuedOrInFlight(AppController* scheduler, quint64 serial, const Message* message);

Q_SIGNALS:
    // Queued behind the registry's reports of the table's entries.
    void tableParsed(quint64 deviceSerial);
    // The sensor did not give its table.
    void tableFailed(quint64 deviceSerial);

private Q_SLOTS:
    void entryListed(quint64 DeviceSerial, quint64 MeasurementId);
    void tableDone(quint64 DeviceSerial);

private:
    UploadMAT* readerFor(quint64 serial);

    AppController* m_scheduler;
    MeasurementController* m_measurements;
    QMap<quint64, UploadMAT*> m_readers;
    QSet<quint64> m_read;
    // The recordings the table being read has named so far.
    QMap<quint64, QSet<quint64>> m_listed;
    // Connected sensors that have not yet said who they are, and those of
    // them whose table read waits for it.
    QSet<quint64> m_awaitingIdentity;
    QSet<quint64> m_deferred;
};
