#pragma once

#include "Links/InterfaceManager.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPointer>

#include <functional>

class DeviceManager;

// A link manager without links for scheduler tests: it keeps every frame the
// registry asks it to send, per sensor serial, and hands reply bytes back
// through the registry's receive signal the way a poll does (the whole
// receive window of that sensor, growing). An optional answer function plays
// the sensor: its reply is delivered at once, inside the write, just as the
// real link manager reads a link right after writing to it.
class RecordingLinkManager : public InterfaceManager
{
    Q_OBJECT
public:
    explicit RecordingLinkManager(DeviceManager* devices, QObject* parent = nullptr);

    // Given the serial and the frame just written, the bytes the sensor sends
    // back (empty: silence).
    std::function<QByteArray(quint64 serial, const QByteArray& frame)> answer;

    void writeToDevice(quint64 serial, QByteArray frame) override;
    quint64 receivePosition(quint64 serial) override { return quint64(m_windows.value(serial).size()); }
    void startScan() override {}

    QList<QByteArray> frames(quint64 serial) const { return m_frames.value(serial); }
    QList<QByteArray> tokens(quint64 serial) const;
    QByteArray lastFrame(quint64 serial) const;

    // Appends the bytes to the sensor's receive window and offers the window.
    void deliver(quint64 serial, const QByteArray& bytes);
    // A reply carrying the number of the latest frame sent to the sensor.
    void replyToLast(quint64 serial, const QByteArray& token = QByteArrayLiteral("<OK>"),
                     const QByteArray& data = QByteArray());

    static quint8 numberOf(const QByteArray& frame);
    static QByteArray tokenOf(const QByteArray& frame);
    static QByteArray payloadOf(const QByteArray& frame);
    // The reply a willing sensor gives: "<OK>" to commands, and state 0 or
    // firmware 42 to the two queries.
    static QByteArray acceptEverything(quint64 serial, const QByteArray& frame);

private:
    QPointer<DeviceManager> m_devices;
    QMap<quint64, QList<QByteArray>> m_frames;
    QMap<quint64, QByteArray> m_windows;
};
