#pragma once

#include "Links/RemoteInterface.h"

#include "SimulatedSensor.h"

#include <QSharedPointer>

#include <memory>

// A link to a simulated sensor in this process, for integration tests: the
// link manager handles it like a discovered USB or Bluetooth link. A
// "bluetooth" link reaches the sensor over its Bluetooth port, any other kind
// over its cable port. The test may keep the sensor (shared pointer) and plug
// it into a new link after the old one is gone, or reach it over its other
// port as well: one link per port may be open to a sensor at a time, so a
// sensor may be on a cable and a Bluetooth link at once. The sensor's clock
// drives it (real time by default, or a ManualClock the test advances).
class SimulatedLink : public RemoteInterface
{
    Q_OBJECT
public:
    SimulatedLink(QSharedPointer<sensorsim::SimulatedSensor> sensor, const QString& identifier,
                  const QString& type = QStringLiteral("usb"), int rank = 3, QObject* parent = nullptr);
    // A link with a sensor of its own, whose primary port is this link's: the
    // sensor's calls without a port (faults(), isLinkOpen(), ...) are about this link.
    SimulatedLink(quint64 serial, const QString& identifier, const QString& type = QStringLiteral("usb"),
                  int rank = 3, std::shared_ptr<sensorsim::SimClock> clock = nullptr, quint64 seed = 1,
                  QObject* parent = nullptr);

    sensorsim::SimulatedSensor* sensor() const { return m_sensor.data(); }
    QSharedPointer<sensorsim::SimulatedSensor> sharedSensor() const { return m_sensor; }
    // The sensor's port this link is plugged into.
    sensorsim::Port port() const { return m_port; }
    static sensorsim::Port portFor(const QString& type);

    // The cable is pulled: the link closes, the sensor notices, didDisconnect
    // is emitted (once). doConnect() fails until plugIn().
    void unplug();
    void plugIn();
    bool isPluggedIn() const { return m_pluggedIn; }
    // Lets doConnect() fail while false, as a port that cannot be opened would.
    void setConnectable(bool connectable) { m_connectable = connectable; }
    // Everything written through this link since it was made.
    const QByteArray& written() const { return m_written; }
    // Bytes that arrive on the wire ahead of whatever the sensor sends next
    // (line noise, a stray sender); read() delivers them like sensor output.
    // A fresh connection drops what was not read.
    void injectIncoming(const QByteArray& bytes) { m_injected.append(bytes); }
    // At most this many bytes per read(), as the real links deliver; 0 (the
    // default) reads everything there is.
    void setMaxReadBytes(int maxBytes) { m_maxReadBytes = qMax(0, maxBytes); }
    // Keeps everything read() handed out from now on, for a test to decode
    // on its own what the host should have made of it.
    void setKeepDelivered(bool keep) { m_keepDelivered = keep; }
    const QByteArray& delivered() const { return m_delivered; }

public Q_SLOTS:
    bool doConnect() override;
    void write(QByteArray data) override;
    int Rank() override { return m_rank; }
    QByteArray read() override;
    QString identifier() override { return m_identifier; }
    bool isConnected() override { return m_connected; }
    QString type() override { return m_type; }

private:
    void reportLoss();

    QSharedPointer<sensorsim::SimulatedSensor> m_sensor;
    QString m_identifier;
    QString m_type;
    sensorsim::Port m_port;
    int m_rank;
    bool m_connected = false;
    bool m_pluggedIn = true;
    bool m_connectable = true;
    bool m_lossReported = false;
    QByteArray m_written;
    QByteArray m_injected;
    int m_maxReadBytes = 0;
    bool m_keepDelivered = false;
    QByteArray m_delivered;
};
