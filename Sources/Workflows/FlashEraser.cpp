#include "Workflows/FlashEraser.h"

#include "Application/Helper.h"
#include "Log/LogCategories.h"
#include "Protocol/DeleteFlashBlock.h"

#include <QDebug>

namespace {

QString hex(quint64 value)
{
    return QString::number(value, 16);
}

} // namespace

FlashEraser::FlashEraser(Sink sink, Drop drop, QObject* parent)
    : QObject(parent)
    , m_sink(std::move(sink))
    , m_drop(std::move(drop))
{
}

bool FlashEraser::start(const QList<quint64>& serials, quint32 first, quint32 last)
{
    if (m_erasing || serials.isEmpty())
        return false;
    m_serials.clear();
    m_messages.clear();
    m_done.clear();
    m_erasing = true;
    Q_EMIT erasingChanged();
    setProgress(0.0);
    for (const quint64 serial : serials) {
        auto* erase = new DeleteFlashBlock(serial, FlashAddress(first), FlashAddress(last));
        connect(erase, &DeleteFlashBlock::blockErased, this, &FlashEraser::blockErased);
        connect(erase, &Message::messageDone, this, &FlashEraser::sensorDone);
        connect(erase, &Message::messageFailed, this, [this, erase](quint64 serial) {
            // A refusal is sent again after its reply time-out; only a
            // command that gives up ends the erase.
            if (erase->failed())
                fail(serial, tr("Sensor %1 did not confirm the erase of its recordings.").arg(Helper::idText(serial)));
        });
        connect(erase, &Message::messageAborted, this, [this](quint64 serial) {
            fail(serial, tr("Sensor %1 was lost during the erase.").arg(Helper::idText(serial)));
        });
        m_serials.append(serial);
        m_messages.insert(serial, erase);
        m_done.insert(serial, false);
    }
    for (const quint64 serial : serials) {
        if (!m_erasing)
            break;
        DeleteFlashBlock* erase = m_messages.value(serial);
        if (erase != nullptr && !m_sink(erase))
            fail(serial, tr("Sensor %1 was lost during the erase.").arg(Helper::idText(serial)));
    }
    return true;
}

QString FlashEraser::refusal(bool recording, bool anySensor) const
{
    if (m_erasing)
        return tr("The sensors are being erased already.");
    if (recording)
        return tr("Stop the recording before you erase the sensors.");
    if (!anySensor)
        return tr("Connect a sensor before you erase its recordings.");
    return QString();
}

void FlashEraser::sensorLost(quint64 serial)
{
    if (m_erasing && m_done.contains(serial) && !m_done.value(serial))
        fail(serial, tr("Sensor %1 was lost during the erase.").arg(Helper::idText(serial)));
}

void FlashEraser::blockErased()
{
    if (!m_erasing)
        return;
    qint64 erased = 0;
    qint64 total = 0;
    for (const QPointer<DeleteFlashBlock>& erase : qAsConst(m_messages)) {
        if (erase.isNull())
            continue;
        erased += erase->blocksErased();
        total += erase->blocksTotal();
    }
    if (total <= 0)
        return;
    // The last block of the last sensor is reported with the end.
    setProgress(qMin(double(erased) / double(total), 0.999));
}

void FlashEraser::sensorDone(quint64 serial)
{
    if (!m_erasing || !m_done.contains(serial))
        return;
    m_done.insert(serial, true);
    for (const bool done : qAsConst(m_done)) {
        if (!done)
            return;
    }
    qCDebug(lcWorkflows) << " Erase complete on " << m_serials.size() << " sensors.";
    setProgress(1.0);
    end();
    Q_EMIT complete(m_serials.size());
}

void FlashEraser::fail(quint64 serial, const QString& reason)
{
    if (!m_erasing)
        return;
    qCDebug(lcWorkflows) << " Erase failed on sensor " << hex(serial) << ": " << reason;
    end();
    // The others stop too: what is left of the erase is repeated as a whole.
    for (auto it = m_messages.cbegin(); it != m_messages.cend(); ++it) {
        if (it.key() != serial && !it.value().isNull() && !m_done.value(it.key()))
            m_drop(it.value().data());
    }
    Q_EMIT failed(hex(serial), reason);
}

void FlashEraser::setProgress(double progress)
{
    if (progress == m_progress)
        return;
    m_progress = progress;
    Q_EMIT progressChanged();
}

void FlashEraser::end()
{
    m_erasing = false;
    Q_EMIT erasingChanged();
}
