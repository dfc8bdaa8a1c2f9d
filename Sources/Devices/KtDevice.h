#pragma once

#include "Data/Storable.h"

#include <QPointer>
#include <QString>

class MeasurementsModel;
class QDataStream;

// One sensor the host has seen, keyed by its serial. Its serial and the
// names of the links that reached it are stored; which links are up, whether
// it is online, its state and firmware are known only while the program runs.
class KtDevice : public Storable
{
    Q_OBJECT
public:
    KtDevice();
    explicit KtDevice(quint64 serial);

    quint64 getSerial() const { return m_serial; }
    void setSerial(quint64 serial);

    QString getBtAddressString() const { return m_btAddress; }
    void setBtAddress(QString address);
    // The stored address as a number; 0 for "-" or any text that is not one.
    quint64 getBtAddressQuint64() const;

    QString getUsbPort() const { return m_usbPort; }
    void setUsbPort(QString port);

    bool getUsbConnected() const { return m_usbConnected; }
    void setUsbConnected(bool connected);
    bool getBtConnected() const { return m_btConnected; }
    void setBtConnected(bool connected);

    bool getOnline() const { return m_online; }
    void setOnline(bool online);

    QString getState() const { return m_state; }
    // 0 idle, 1 recording; other codes keep the text. The row is refreshed
    // in every case.
    void setState(uchar code);

    quint16 getFirmware() const;
    void setFirmware(quint16 firmware);

    QString getDisplayName() const;

    // An empty list of measurements, owned by the device.
    Q_INVOKABLE QObject* getMeasurementsOnDeviceModel();

    QString storagePath() override;
    QString entityName() override;
    QString fileEnding() override;
    QString generateFileName() override;
    bool tryLoadFromStream(QDataStream& stream) override;
    void saveToStream(QDataStream& stream) override;

    void readRecord(QDataStream& stream);

Q_SIGNALS:
    void loadedDeviceFromDisk(KtDevice* loadedDevice);
    void foundKnownBluetoothAddress(quint64 btAddress);
    void connected(KtDevice* device);
    void disconnected(KtDevice* device);

private:
    quint64 m_serial = 0;
    QString m_btAddress;
    QString m_usbPort;
    bool m_usbConnected = false;
    bool m_btConnected = false;
    QString m_state;
    quint16 m_firmware = 0;
    bool m_online = false;
    QPointer<MeasurementsModel> m_emptyMeasurementsModel;
};
