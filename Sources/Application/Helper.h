#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QBluetoothAddress;

// Static utilities used everywhere: storage paths, identifiers, Bluetooth
// address conversions, the record version, display texts and the CRC. An
// instance exists only so that the scene can read the three version texts.
class Helper : public QObject
{
    Q_OBJECT
public:
    explicit Helper(QObject* parent = nullptr);

    Q_INVOKABLE static QString versionCodeHostSoftware();
    Q_INVOKABLE static QString revisionHostSoftware();
    Q_INVOKABLE static QString buildDateHostSoftware();
    // Where the CSV import looks for files, for the scene to tell the user.
    Q_INVOKABLE static QString offlineDataPath();
    // Milliseconds since this process started (to the system clock tick),
    // or -1 where that cannot be told.
    static qint64 msSinceProcessStart();

    // Hexadecimal text to number; 0 when the text does not parse. The whole
    // unsigned 64-bit range is accepted so that every serial is reachable.
    static quint64 quint64FromHex(const QString& text);
    static quint64 BtAddressStringToLong(const QString& address);
    static QString StringFromBTaddress(const QBluetoothAddress& address);

    static quint64 generateId64Bit();

    static QString boolToConnectedString(bool connected);
    static QString boolToOnlineString(bool online);
    static QString boolToScanStatusString(bool scanning);

    // Storage layout. The base is the executable's folder + "/../Storage",
    // or the folder named by KORVEX_STORAGE when that is set.
    static QString getBasePath();
    static QString getContentPath();
    static QString getDataPath();
    static QString geExportPath();
    static QString getDevicePath();
    static QString getUserPath();

    static bool AssureDirectoryExists(const QString& path);
    static bool DeleteDirectoryIfExists(const QString& path);

    static int SerializationVersion();
    static QString SanitizeFileName(const QString& name);

    static void copyFolder(const QString& source, const QString& target);
    static bool initStorageFromInstallation();

    static QString debugCommMessage(const QByteArray& bytes);

    // CRC-16/ARC of `length` bytes starting `start` bytes after `data`.
    static quint16 CRC16(const char* data, quint16 start, quint16 length);
};
