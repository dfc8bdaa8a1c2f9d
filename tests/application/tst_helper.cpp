#include "Application/Helper.h"

#include "TemporaryStorage.h"

#include <QBluetoothAddress>
#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QFile::WriteOnly));
    file.write(content);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QFile::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

} // namespace

class TestHelper : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void crcMatchesPublishedCheckValues_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("crc");
        QTest::newRow("digits") << QByteArray("123456789") << 0 << 9 << 0xBB3D;
        QTest::newRow("abc") << QByteArray("abc") << 0 << 3 << 0x9738;
        QTest::newRow("offset into block") << QByteArray("xx123456789") << 2 << 9 << 0xBB3D;
        QTest::newRow("empty") << QByteArray("abc") << 0 << 0 << 0;
        QTest::newRow("single zero byte") << QByteArray(1, '\0') << 0 << 1 << 0;
        QTest::newRow("all ones") << QByteArray(2, '\xFF') << 0 << 2 << 0xB001;
    }

    void crcMatchesPublishedCheckValues()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(int, crc);
        QCOMPARE(int(Helper::CRC16(data.constData(), quint16(start), quint16(length))), crc);
    }

    void crcOfNullDataIsZero()
    {
        QCOMPARE(int(Helper::CRC16(nullptr, 0, 10)), 0);
    }

    void sanitizeFileNameKeepsOnlyWordCharacters_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::newRow("name with blank and dash") << "Max Muster-1" << "Max_Muster1";
        QTest::newRow("punctuation only") << "!?-./" << "";
        QTest::newRow("tabs and newlines") << "a\tb\nc" << "a_b_c";
        QTest::newRow("umlauts are dropped") << QString::fromUtf8("J\u00fcrg") << "Jrg";
        QTest::newRow("folder separators") << "../etc/passwd" << "etcpasswd";
    }

    void sanitizeFileNameKeepsOnlyWordCharacters()
    {
        QFETCH(QString, input);
        QFETCH(QString, output);
        QCOMPARE(Helper::SanitizeFileName(input), output);
    }

    void hexTextsParseOverTheWholeUnsignedRange_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint64>("value");
        QTest::newRow("plain") << "1a2b" << quint64(0x1a2b);
        QTest::newRow("upper case") << "ABCDEF" << quint64(0xabcdef);
        QTest::newRow("top bit set") << "8000000000000001" << quint64(0x8000000000000001ULL);
        QTest::newRow("all ones") << "ffffffffffffffff" << quint64(0xffffffffffffffffULL);
        QTest::newRow("too long") << "1ffffffffffffffff" << quint64(0);
        QTest::newRow("garbage") << "zz" << quint64(0);
        QTest::newRow("empty") << "" << quint64(0);
    }

    void hexTextsParseOverTheWholeUnsignedRange()
    {
        QFETCH(QString, text);
        QFETCH(quint64, value);
        QCOMPARE(Helper::quint64FromHex(text), value);
    }

    void bluetoothAddressesConvertBothWays()
    {
        QCOMPARE(Helper::BtAddressStringToLong(QStringLiteral("00:11:22:AA:BB:CC")), quint64(0x001122AABBCCULL));
        QCOMPARE(Helper::BtAddressStringToLong(QStringLiteral("zz:11")), quint64(0));
        QCOMPARE(Helper::BtAddressStringToLong(QString()), quint64(0));

        const QBluetoothAddress leadingZero(quint64(0x001122AABBCCULL));
        const QString text = Helper::StringFromBTaddress(leadingZero);
        QCOMPARE(text, QStringLiteral("1122aabbcc"));
        QCOMPARE(Helper::BtAddressStringToLong(text), quint64(0x001122AABBCCULL));
    }

    void generatedIdsNeverSetBit31Or63AndFollowTheSeed()
    {
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
        qsrand(417);
        QList<quint64> first;
        for (int i = 0; i < 2000; ++i) {
            const quint64 id = Helper::generateId64Bit();
            QVERIFY((id & (quint64(1) << 31)) == 0);
            QVERIFY((id & (quint64(1) << 63)) == 0);
            first.append(id);
        }
        qsrand(417);
QT_WARNING_POP
        for (int i = 0; i < first.size(); ++i)
            QCOMPARE(Helper::generateId64Bit(), first.at(i));
        // Different draws fill both halves.
        QVERIFY(first.at(0) >> 32 != 0);
        QVERIFY(first.at(0) != first.at(1));
    }

    void displayTexts()
    {
        QCOMPARE(Helper::boolToConnectedString(true), QStringLiteral("connected"));
        QCOMPARE(Helper::boolToConnectedString(false), QStringLiteral("disconnected"));
        QCOMPARE(Helper::boolToOnlineString(true), QStringLiteral("Online"));
        QCOMPARE(Helper::boolToOnlineString(false), QStringLiteral("Offline"));
        QCOMPARE(Helper::boolToScanStatusString(true), QStringLiteral("Scanning"));
        QCOMPARE(Helper::boolToScanStatusString(false), QStringLiteral("Scan"));
        QCOMPARE(Helper::versionCodeHostSoftware(), QStringLiteral("Korvex 0.7 Beta"));
        QCOMPARE(Helper::revisionHostSoftware(), QStringLiteral("e5020d1"));
        QCOMPARE(Helper::buildDateHostSoftware(), QStringLiteral("2015-05-13_07:08:56"));
        QCOMPARE(Helper::SerializationVersion(), 20140409);
    }

    void storagePathsFollowTheStorageVariable()
    {
        TemporaryStorage storage;
        const QString base = storage.path();
        QCOMPARE(Helper::getBasePath(), base);
        QCOMPARE(Helper::getContentPath(), base + "/content/");
        QCOMPARE(Helper::getDataPath(), base + "/Data/");
        QCOMPARE(Helper::geExportPath(), base + "/Exports/");
        QCOMPARE(Helper::getDevicePath(), base + "/Devices/");
        QCOMPARE(Helper::getUserPath(), base + "/Users/");
    }

    void storageDefaultsToTheFolderBesideTheExecutable()
    {
        const QByteArray saved = qgetenv("KORVEX_STORAGE");
        qunsetenv("KORVEX_STORAGE");
        QCOMPARE(Helper::getBasePath(), QCoreApplication::applicationDirPath() + "/../Storage");
        if (!saved.isEmpty())
            qputenv("KORVEX_STORAGE", saved);
    }

    void directoriesAreCreatedAndDeleted()
    {
        QTemporaryDir dir;
        const QString nested = dir.filePath(QStringLiteral("a/b/c"));
        QVERIFY(Helper::AssureDirectoryExists(nested));
        QVERIFY(QDir(nested).exists());
        writeFile(nested + "/file.txt", "x");

        QVERIFY(Helper::DeleteDirectoryIfExists(dir.filePath(QStringLiteral("a"))));
        QVERIFY(!QDir(dir.filePath(QStringLiteral("a"))).exists());
        // A folder that is not there counts as deleted, silently.
        QVERIFY(Helper::DeleteDirectoryIfExists(dir.filePath(QStringLiteral("never-there"))));
    }

    void copyFolderCopiesTheTreeWithoutOverwriting()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("src"));
        const QString target = dir.filePath(QStringLiteral("dst"));
        writeFile(source + "/top.txt", "top");
        writeFile(source + "/keep.txt", "new");
        writeFile(source + "/sub/inner.txt", "inner");
        writeFile(source + "/sub/deeper/deep.txt", "deep");
        writeFile(source + "/.hidden", "hidden");
        writeFile(source + "/.hiddendir/file.txt", "hidden");
        writeFile(target + "/keep.txt", "old");

        Helper::copyFolder(source, target);

        QCOMPARE(readFile(target + "/top.txt"), QByteArray("top"));
        QCOMPARE(readFile(target + "/keep.txt"), QByteArray("old"));
        QCOMPARE(readFile(target + "/sub/inner.txt"), QByteArray("inner"));
        QCOMPARE(readFile(target + "/sub/deeper/deep.txt"), QByteArray("deep"));
        QVERIFY(!QFile::exists(target + "/.hidden"));
        QVERIFY(!QFile::exists(target + "/.hiddendir"));
    }

    void copyFolderOfMissingSourceCopiesNothing()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("dst"));
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^ Source dir does not exist: ")));
        Helper::copyFolder(dir.filePath(QStringLiteral("missing")), target);
        QVERIFY(!QDir(target).exists());
    }

    void debugCommMessageEscapesBackslashesAndZeros()
    {
        const QByteArray raw("<msg>1\\\0\xE4</msg>\r\n", 17);
        const QString text = Helper::debugCommMessage(raw);
        QCOMPARE(text, QStringLiteral("<msg>1\\\\\\0") + QChar(0xE4) + QStringLiteral("</msg>\r\n"));
        QCOMPARE(Helper::debugCommMessage(QByteArray()), QString());
    }
};

QTEST_GUILESS_MAIN(TestHelper)
#include "tst_helper.moc"
