#include "RecordingLinkManager.h"

#include "WireBytes.h"

#include "Devices/DeviceManager.h"

RecordingLinkManager::RecordingLinkManager(DeviceManager* devices, QObject* parent)
    : InterfaceManager(parent)
    , m_devices(devices)
{
}

void RecordingLinkManager::writeToDevice(quint64 serial, QByteArray frame)
{
    m_frames[serial].append(frame);
    if (answer) {
        const QByteArray reply = answer(serial, frame);
        if (!reply.isEmpty())
            deliver(serial, reply);
    }
}

QList<QByteArray> RecordingLinkManager::tokens(quint64 serial) const
{
    QList<QByteArray> result;
    for (const QByteArray& frame : m_frames.value(serial))
        result.append(tokenOf(frame));
    return result;
}

QByteArray RecordingLinkManager::lastFrame(quint64 serial) const
{
    const QList<QByteArray> sent = m_frames.value(serial);
    return sent.isEmpty() ? QByteArray() : sent.last();
}

void RecordingLinkManager::deliver(quint64 serial, const QByteArray& bytes)
{
    QByteArray& window = m_windows[serial];
    window.append(bytes);
    if (m_devices)
        Q_EMIT m_devices->receivedDataFromDevice(serial, window, 0);
}

void RecordingLinkManager::replyToLast(quint64 serial, const QByteArray& token, const QByteArray& data)
{
    deliver(serial, WireBytes::frame(numberOf(lastFrame(serial)), token, data));
}

quint8 RecordingLinkManager::numberOf(const QByteArray& frame)
{
    return frame.size() > 5 ? quint8(frame.at(5)) : 0;
}

QByteArray RecordingLinkManager::tokenOf(const QByteArray& frame)
{
    const int close = frame.indexOf('>', 6);
    return close < 0 ? QByteArray() : frame.mid(6, close - 5);
}

QByteArray RecordingLinkManager::payloadOf(const QByteArray& frame)
{
    const int start = 6 + tokenOf(frame).size();
    return frame.mid(start, frame.size() - 8 - start);
}

QByteArray RecordingLinkManager::acceptEverything(quint64 serial, const QByteArray& frame)
{
    Q_UNUSED(serial)
    const quint8 number = numberOf(frame);
    const QByteArray token = tokenOf(frame);
    if (token == "<GetTopState>")
        return WireBytes::frame(number, "<SndTopState>", WireBytes::bytes({0}));
    if (token == "<GetFirmware>")
        return WireBytes::frame(number, "<SndFirmware>", WireBytes::u16(42));
    return WireBytes::frame(number, "<OK>");
}
