#include "Application/Helper.h"

#include "ScriptedIds.h"
#include "StorageFiles.h"
#include "TemporaryStorage.h"

#include <QBluetoothAddress>
#include <QDir>
#include <QFile>
#include <QtTest>


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

    void generatedIdsNeverSetBit31Or63AndIgnoreTheClockSeed()
    {
        // Runs once seeded the generator from the millisecond of the clock;
        // two runs in the same millisecond then drew the same ids. A seed
        // set the old way must not bring a sequence back.
        QList<quint64> first;
        QList<quint64> second;
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
        for (QList<quint64>* ids : { &first, &second }) {
            qsrand(417);
            for (int i = 0; i < 2000; ++i)
                ids->append(Helper::generateId64Bit());
        }
QT_WARNING_POP
        int repeated = 0;
        for (int i = 0; i < first.size(); ++i)
            repeated += first.at(i) == second.at(i) ? 1 : 0;
        QCOMPARE(repeated, 0);
        quint64 seen = 0;
        for (quint64 id : first + second) {
            QCOMPARE(id & 0x8000000080000000ull, quint64(0));
            seen |= id;
        }
        // Every other bit is drawn.
        QCOMPARE(seen, quint64(0x7FFFFFFF7FFFFFFFull));
    }

    void freeIdsAreDrawnAgainWhileTakenOrZero_data()
    {
        QTest::addColumn<QList<quint64>>("drawn");
        QTest::addColumn<QList<quint64>>("taken");
        QTest::addColumn<quint64>("id");
        QTest::addColumn<int>("draws");
        QTest::newRow("free at once") << QList<quint64> { 0x51 } << QList<quint64> { 0x52 } << quint64(0x51) << 1;
        QTest::newRow("zero is never handed out") << QList<quint64> { 0, 0, 0x51 } << QList<quint64>() << quint64(0x51) << 3;
        QTest::newRow("taken ones are drawn again")
            << QList<quint64> { 0x52, 0x53, 0x52, 0x54 } << QList<quint64> { 0x52, 0x53 } << quint64(0x54) << 4;
    }

    void freeIdsAreDrawnAgainWhileTakenOrZero()
    {
        QFETCH(QList<quint64>, drawn);
        QFETCH(QList<quint64>, taken);
        QFETCH(quint64, id);
        QFETCH(int, draws);
        ScriptedIds ids(drawn);
        QList<quint64> asked;
        const quint64 free = Helper::generateFreeId64Bit([&](quint64 candidate) {
            asked << candidate;
            return taken.contains(candidate);
        });
        QCOMPARE(free, id);
        QCOMPARE(ids.draws(), draws);
        QCOMPARE(asked.contains(0), false);
    }

    void recordsAreFoundByTheIdAtTheEndOfTheirName_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("found");
        QTest::newRow("a measurement record") << "2015_05_13_09_00_00_Sprint_Two_Anna_1f.ktm" << true;
        QTest::newRow("one without names") << "____1f.ktm" << true;
        QTest::newRow("a longer id ending alike") << "____a1f.ktm" << false;
        QTest::newRow("another kind of record") << "____1f.ktt" << false;
        QTest::newRow("the id elsewhere in the name") << "____1f_2.ktm" << false;
    }

    void recordsAreFoundByTheIdAtTheEndOfTheirName()
    {
        QFETCH(QString, file);
        QFETCH(bool, found);
        TemporaryStorage storage;
        QVERIFY(StorageFiles::write(Helper::getDataPath() + file, "x"));
        QCOMPARE(Helper::recordWithIdExists(Helper::getDataPath(), 0x1f, "ktm"), found);
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
        QVERIFY(StorageFiles::write(nested + "/file.txt", "x"));

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
        QVERIFY(StorageFiles::write(source + "/top.txt", "top"));
        QVERIFY(StorageFiles::write(source + "/keep.txt", "new"));
        QVERIFY(StorageFiles::write(source + "/sub/inner.txt", "inner"));
        QVERIFY(StorageFiles::write(source + "/sub/deeper/deep.txt", "deep"));
        QVERIFY(StorageFiles::write(source + "/.hidden", "hidden"));
        QVERIFY(StorageFiles::write(source + "/.hiddendir/file.txt", "hidden"));
        QVERIFY(StorageFiles::write(target + "/keep.txt", "old"));

        Helper::copyFolder(source, target);

        QCOMPARE(StorageFiles::read(target + "/top.txt"), QByteArray("top"));
        QCOMPARE(StorageFiles::read(target + "/keep.txt"), QByteArray("old"));
        QCOMPARE(StorageFiles::read(target + "/sub/inner.txt"), QByteArray("inner"));
        QCOMPARE(StorageFiles::read(target + "/sub/deeper/deep.txt"), QByteArray("deep"));
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
