#include "Workflows/PendingUploads.h"

#include "Log/LogCategories.h"
#include "Workflows/ActiveUploads.h"
#include "Workflows/AllocationTables.h"

#include <QDebug>
#include <QStringList>

namespace {

QString hex(quint64 value)
{
    return QString::number(value, 16);
}

} // namespace

PendingUploads::PendingUploads(const ActiveUploads& active, AllocationTables* tables, Online online, Start start,
                               QObject* parent)
    : QObject(parent)
    , m_active(active)
    , m_tables(tables)
    , m_online(std::move(online))
    , m_start(std::move(start))
{
    m_timer.setInterval(kCheckIntervalMs);
    m_timer.setSingleShot(false);
    connect(&m_timer, &QTimer::timeout, this, &PendingUploads::checkDue);
}

void PendingUploads::add(quint64 serial, quint64 measurementId)
{
    m_entries.insert(serial, measurementId);
    qCDebug(lcWorkflows) << "scheduled upload for device: " << hex(serial) << " and measuerement: "
                         << hex(measurementId);
    m_timer.start();
    Q_EMIT changed();
}

void PendingUploads::resume(quint64 serial, quint64 measurementId)
{
    if (!m_entries.contains(serial, measurementId))
        m_entries.insert(serial, measurementId);
    if (!m_timer.isActive())
        m_timer.start();
    Q_EMIT changed();
}

void PendingUploads::remove(quint64 serial, quint64 measurementId)
{
    if (m_entries.remove(serial, measurementId) > 0)
        Q_EMIT changed();
}

bool PendingUploads::check(quint64 serial)
{
    const QList<quint64> pending = m_entries.values(serial);
    QStringList pendingText;
    for (const quint64 id : pending)
        pendingText.append(QString::number(id));
    qCDebug(lcWorkflows) << "UploadController, check PendingUploads for device: " << hex(serial);
    qCDebug(lcWorkflows) << "Device " << hex(serial) << " active upload: " << m_active.measurementOf(serial)
                         << " pending uploads: " << pendingText.join(QStringLiteral(", "));
    if (pending.isEmpty())
        return false;
    qCDebug(lcWorkflows) << "Device " << hex(serial) << " has pending uploads: ";
    if (m_active.find(serial) != nullptr)
        return true;
    // A sensor that is away keeps its entries for when it is back.
    if (!m_online(serial))
        return false;
    if (!m_timer.isActive())
        m_timer.start();
    // Until the sensor's table has been read, nobody can tell whether it
    // holds the measurement; trying now would drop the entry as failed.
    if (!m_tables->isReadAndSettled(serial)) {
        if (!m_tables->isReading(serial) && !m_tables->isDeferred(serial))
            m_tables->read(serial);
        qCDebug(lcWorkflows) << " Waiting for the table of device: " << hex(serial);
        return true;
    }
    qCDebug(lcWorkflows) << " Uploads remaining for device " << hex(serial) << " : " << pending.size();
    const quint64 id = pending.first();
    qCDebug(lcWorkflows) << "PendingUpload found, try to upload measurement " << hex(id)
                         << " for device: " << hex(serial);
    // The upload is listed as active as soon as its readers are queued.
    if (m_start(serial, id))
        remove(serial, id);
    return true;
}
