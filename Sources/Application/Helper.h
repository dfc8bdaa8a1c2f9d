#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

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
    // A serial or an id as the user reads it: hexadecimal in capitals, as
    // the sensor cards and the archive show them.
    static QString idText(quint64 value);
    static quint64 BtAddressStringToLong(const QString& address);
    static QString StringFromBTaddress(const QBluetoothAddress& address);

    // A fresh identifier from the system's random source. Bits 31 and 63
    // stay clear, as they always have, so that every id stored so far keeps
    // its shape and the low half read as a signed 32-bit value is positive.
    static quint64 generateId64Bit();
    // Draws until the id is neither 0 nor `isTaken`. Identifiers that once
    // repeated across runs merged recordings; a free one is never reused.
    static quint64 generateFreeId64Bit(const std::function<bool(quint64)>& isTaken);
    // Replaces where generateId64Bit() draws from, so that tests can make
    // ids collide; an empty function restores the system's random source.
    static void setIdSource(std::function<quint64()> source);
    // Whether `folder` holds a record "<anything>_<id in hexadecimal>.<ending>",
    // the form in which measurement and user records carry their id.
    static bool recordWithIdExists(const QString& folder, quint64 id, const QString& ending);

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
