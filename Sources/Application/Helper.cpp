#include "Application/Helper.h"

#include "Log/LogCategories.h"

#include <QBluetoothAddress>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <array>
#include <cstdlib>

#include <unistd.h>

namespace {

const char kVersionCode[] = "Korvex 0.7 Beta";
const char kRevision[] = "e5020d1";
const char kBuildDate[] = "2015-05-13_07:08:56";
const int kSerializationVersion = 20140409;

// CRC-16/ARC works on reflected bytes with the reflected polynomial 0xA001;
// one table lookup per byte gives the same result as the bitwise definition.
constexpr std::array<quint16, 256> makeCrcTable()
{
    std::array<quint16, 256> table {};
    for (int i = 0; i < 256; ++i) {
        quint16 crc = static_cast<quint16>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<quint16>((crc >> 1) ^ 0xA001) : static_cast<quint16>(crc >> 1);
        table[static_cast<std::size_t>(i)] = crc;
    }
    return table;
}

constexpr std::array<quint16, 256> kCrcTable = makeCrcTable();

std::function<quint64()>& idSource()
{
    static std::function<quint64()> source;
    return source;
}

} // namespace

Helper::Helper(QObject* parent)
    : QObject(parent)
{
}

QString Helper::versionCodeHostSoftware()
{
    return QString::fromLatin1(kVersionCode);
}

QString Helper::revisionHostSoftware()
{
    return QString::fromLatin1(kRevision);
}

QString Helper::buildDateHostSoftware()
{
    return QString::fromLatin1(kBuildDate);
}

QString Helper::idText(quint64 value)
{
    return QString::number(value, 16).toUpper();
}

quint64 Helper::quint64FromHex(const QString& text)
{
    bool ok = false;
    const quint64 value = text.toULongLong(&ok, 16);
    return ok ? value : 0;
}

quint64 Helper::BtAddressStringToLong(const QString& address)
{
    QString digits = address;
    digits.remove(QLatin1Char(':'));
    return quint64FromHex(digits);
}

QString Helper::StringFromBTaddress(const QBluetoothAddress& address)
{
    return QString::number(address.toUInt64(), 16);
}

quint64 Helper::generateId64Bit()
{
    if (idSource())
        return idSource()();
    // The system's source, not a generator seeded from the clock: two runs
    // started in the same millisecond (or after the clock was set back) drew
    // the same sequence and wrote into each other's measurements.
    const quint64 mask = 0x7FFFFFFF7FFFFFFFull;
    return QRandomGenerator::system()->generate64() & mask;
}

quint64 Helper::generateFreeId64Bit(const std::function<bool(quint64)>& isTaken)
{
    for (;;) {
        const quint64 id = generateId64Bit();
        if (id != 0 && !(isTaken && isTaken(id)))
            return id;
        qCDebug(lcApp) << " Identifier " << Qt::hex << id << " is taken, drawing another.";
    }
}

void Helper::setIdSource(std::function<quint64()> source)
{
    idSource() = std::move(source);
}

bool Helper::recordWithIdExists(const QString& folder, quint64 id, const QString& ending)
{
    const QString pattern = QStringLiteral("*_") + QString::number(id, 16) + QLatin1Char('.') + ending;
    return !QDir(folder, pattern, QDir::NoSort, QDir::Files | QDir::Hidden).entryList().isEmpty();
}

QString Helper::boolToConnectedString(bool connected)
{
    return connected ? tr("connected") : tr("disconnected");
}

QString Helper::boolToOnlineString(bool online)
{
    return online ? tr("Online") : tr("Offline");
}

QString Helper::boolToScanStatusString(bool scanning)
{
    return scanning ? tr("Scanning") : tr("Scan");
}

QString Helper::getBasePath()
{
    const QByteArray overridden = qgetenv("KORVEX_STORAGE");
    if (!overridden.isEmpty())
        return QString::fromLocal8Bit(overridden);
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../Storage");
}

QString Helper::getContentPath()
{
    return getBasePath() + QStringLiteral("/content/");
}

QString Helper::getDataPath()
{
    return getBasePath() + QStringLiteral("/Data/");
}

qint64 Helper::msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return -1;
    // The command name may hold spaces; the fields are counted after it.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    bool startOk = false;
    bool nowOk = false;
    // Field 22 of the line, the start time in ticks after boot, is the 20th after the name.
    const double started = fields.size() > 19 ? fields.at(19).toDouble(&startOk) : 0.0;
    const double now = uptime.readAll().split(' ').value(0).toDouble(&nowOk);
    if (!startOk || !nowOk || ticksPerSecond <= 0)
        return -1;
    return qint64((now - started / double(ticksPerSecond)) * 1000.0);
}

QString Helper::offlineDataPath()
{
    return QDir::cleanPath(getDataPath() + QStringLiteral("/OfflineData"));
}

QString Helper::geExportPath()
{
    return getBasePath() + QStringLiteral("/Exports/");
}

QString Helper::getDevicePath()
{
    return getBasePath() + QStringLiteral("/Devices/");
}

QString Helper::getUserPath()
{
    return getBasePath() + QStringLiteral("/Users/");
}

bool Helper::AssureDirectoryExists(const QString& path)
{
    QDir dir;
    dir.mkpath(path);
    return dir.exists(path);
}

bool Helper::DeleteDirectoryIfExists(const QString& path)
{
    QDir dir(path);
    if (!dir.exists())
        return true;
    if (dir.removeRecursively())
        return true;
    qCDebug(lcApp) << "Could not cleanup export Directory.";
    return false;
}

int Helper::SerializationVersion()
{
    return kSerializationVersion;
}

QString Helper::SanitizeFileName(const QString& name)
{
    static const QRegularExpression whitespace(QStringLiteral("\\s"));
    static const QRegularExpression forbidden(QStringLiteral("[^A-Za-z0-9_]"));
    QString result = name;
    result.replace(whitespace, QStringLiteral("_"));
    result.remove(forbidden);
    return result;
}

void Helper::copyFolder(const QString& source, const QString& target)
{
    QList<QPair<QString, QString>> work;
    work.append(qMakePair(source, target));

    while (!work.isEmpty()) {
        const QPair<QString, QString> pair = work.takeFirst();
        const QDir sourceDir(pair.first);
        if (!sourceDir.exists()) {
            qCDebug(lcApp) << " Source dir does not exist: " << sourceDir;
            continue;
        }
        QDir targetDir(pair.second);
        if (!targetDir.exists())
            targetDir.mkpath(QStringLiteral("."));

        const QStringList files = sourceDir.entryList(QDir::Files, QDir::Unsorted);
        for (const QString& name : files) {
            // An existing target file is left alone: QFile::copy never overwrites.
            QFile::copy(pair.first + QLatin1Char('/') + name, pair.second + QLatin1Char('/') + name);
        }

        const QStringList folders = sourceDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
        for (const QString& name : folders)
            work.append(qMakePair(pair.first + QLatin1Char('/') + name, pair.second + QLatin1Char('/') + name));
    }
}

bool Helper::initStorageFromInstallation()
{
    DeleteDirectoryIfExists(getContentPath());
    copyFolder(QStringLiteral("assets:/Storage"), getBasePath());
    AssureDirectoryExists(getDataPath());
    AssureDirectoryExists(getDevicePath());
    AssureDirectoryExists(getUserPath());
    return true;
}

QString Helper::debugCommMessage(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size() + 16);
    for (const char byte : bytes) {
        if (byte == '\\')
            text += QStringLiteral("\\\\");
        else if (byte == '\0')
            text += QStringLiteral("\\0");
        else
            text += QChar(static_cast<uchar>(byte));
    }
    return text;
}

quint16 Helper::CRC16(const char* data, quint16 start, quint16 length)
{
    if (data == nullptr || length == 0)
        return 0;
    const auto* bytes = reinterpret_cast<const uchar*>(data) + start;
    quint16 crc = 0;
    for (quint16 i = 0; i < length; ++i)
        crc = static_cast<quint16>((crc >> 8) ^ kCrcTable[(crc ^ bytes[i]) & 0xFF]);
    return crc;
}
