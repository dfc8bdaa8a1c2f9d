#include "Workflows/AllocationTables.h"

#include "Data/MeasurementController.h"
#include "Log/LogCategories.h"
#include "Protocol/AppController.h"
#include "Protocol/UploadMAT.h"

#include <QDebug>
#include <QTimer>

namespace {

const FlashAddress kTableAddress(0, 1, 0);

QString hex(quint64 value)
{
    return QString::number(value, 16);
}

} // namespace

AllocationTables::AllocationTables(AppController* scheduler, MeasurementController* measurements, QObject* parent)
    : QObject(parent)
    , m_scheduler(scheduler)
    , m_measurements(measurements)
{
}

bool AllocationTables::queuedOrInFlight(AppController* scheduler, quint64 serial, const Message* message)
{
    if (message == nullptr)
        return false;
    for (const AppController::MessageList* list : {scheduler->scheduledMessages(serial), scheduler->activeMessages(serial)}) {
        for (const Message* queued : *list) {
            if (queued == message && !queued->failed())
                return true;
        }
    }
    return false;
}

UploadMAT* AllocationTables::readerFor(quint64 serial)
{
    UploadMAT* reader = m_readers.value(serial, nullptr);
    if (reader != nullptr)
        return reader;
    reader = new UploadMAT(serial, kTableAddress);
    reader->setParent(m_scheduler);
    m_readers.insert(serial, reader);
    // Queued: the entries reach the registry from the event loop after the
    // page has been parsed, in table order, and the end after them.
    const auto queued = Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection);
    if (m_measurements != nullptr) {
        connect(reader, &UploadMAT::foundStartedMeasurement, m_measurements,
                &MeasurementController::foundStartedMeasurement, queued);
        connect(reader, &UploadMAT::foundCompleteMeasurement, m_measurements,
                &MeasurementController::foundCompleteMeasurement, queued);
    }
    // Behind the registry's reports, so that the sensor's list is trimmed
    // to the table after every entry has been listed.
    connect(reader, &UploadMAT::foundStartedMeasurement, this, &AllocationTables::entryListed, queued);
    connect(reader, &UploadMAT::foundCompleteMeasurement, this, &AllocationTables::entryListed, queued);
    connect(reader, &UploadMAT::parsingOfMATcomplete, this, &AllocationTables::tableDone, queued);
    // Only a read that gave up for good is a failed one.
    connect(reader, &Message::messageFailed, this, [this, reader](quint64 DeviceSerial) {
        if (reader->failed())
            Q_EMIT tableFailed(DeviceSerial);
    }, queued);
    return reader;
}

bool AllocationTables::isReading(quint64 serial) const
{
    return queuedOrInFlight(m_scheduler, serial, m_readers.value(serial, nullptr));
}

bool AllocationTables::isReadAndSettled(quint64 serial) const
{
    return m_read.contains(serial) && !isReading(serial);
}

void AllocationTables::read(quint64 serial)
{
    UploadMAT* reader = readerFor(serial);
    // Asked for twice, the table would be read twice and every upload
    // waiting for it checked twice.
    if (queuedOrInFlight(m_scheduler, serial, reader)) {
        qCDebug(lcWorkflows) << " Table read already on its way for device: " << hex(serial);
        return;
    }
    // A failed read may still be listed as active; it goes before the next one.
    m_scheduler->activeMessages(serial)->removeAll(reader);
    reader->reset();
    reader->setSerial(serial);
    m_listed[serial].clear();
    if (!m_scheduler->scheduleMessage(reader, false))
        qCDebug(lcWorkflows) << " Table read not scheduled for device: " << hex(serial);
}

void AllocationTables::entryListed(quint64 DeviceSerial, quint64 MeasurementId)
{
    m_listed[DeviceSerial].insert(MeasurementId);
}

void AllocationTables::tableDone(quint64 DeviceSerial)
{
    // Recordings the table no longer names (erased) leave the sensor's list.
    if (m_measurements != nullptr)
        m_measurements->retainMeasurementsOnDevice(DeviceSerial, m_listed.value(DeviceSerial));
    Q_EMIT tableParsed(DeviceSerial);
}

void AllocationTables::readOnceKnown(quint64 serial)
{
    if (m_awaitingIdentity.contains(serial)) {
        m_deferred.insert(serial);
        return;
    }
    read(serial);
}

void AllocationTables::sensorJoined(quint64 serial)
{
    m_read.remove(serial);
    m_awaitingIdentity.insert(serial);
    QTimer::singleShot(kIdentityWaitMs, this, [this, serial] {
        if (m_awaitingIdentity.contains(serial))
            sensorKnown(serial);
    });
}

void AllocationTables::sensorKnown(quint64 serial)
{
    m_awaitingIdentity.remove(serial);
    if (m_deferred.remove(serial))
        read(serial);
}

void AllocationTables::sensorLeft(quint64 serial)
{
    // What the sensor lists may change while it is away.
    m_read.remove(serial);
    m_awaitingIdentity.remove(serial);
    m_deferred.remove(serial);
}
