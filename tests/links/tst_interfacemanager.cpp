#include "Data/Store.h"
#include "Links/InterfaceManager.h"

#include "LogCapture.h"
#include "RecordingLink.h"
#include "StorageFiles.h"
#include "TemporaryStorage.h"

#include <QtTest>

namespace {

// Fills the link tables the way connecting and binding do.
class Links : public InterfaceManager
{
    Q_OBJECT
public:
    void startScan() override {}
    RecordingLink* open(const QString& name, int rank)
    {
        auto* link = new RecordingLink(name, rank, this);
        connectedInterfaces.insert(name, link);
        return link;
    }
    RecordingLink* discovered(const QString& name, int rank)
    {
        auto* link = new RecordingLink(name, rank, this);
        unconnectedInterfaces.insert(name, link);
        return link;
    }
    void bind(RecordingLink* link, quint64 serial)
    {
        serialToInterfaces.insert(serial, link);
        interfaceToSerial.insert(link, serial);
    }
    ReceiveBuffers& buffers() { return m_buffers; }
    // As if that many bytes had come and gone through the window.
    void pushThrough(const QString& name, int bytes)
    {
        m_buffers.append(name, QByteArray(bytes, 'x'));
        m_buffers.empty(name);
    }
};

} // namespace

class TestInterfaceManager : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Store::drop(); }

    void framesTakeTheSensorsPreferredLink_data()
    {
        QTest::addColumn<QList<int>>("ranks");
        QTest::addColumn<int>("chosen");
        QTest::newRow("usb only") << QList<int> { 3 } << 0;
        QTest::newRow("usb and bluetooth") << QList<int> { 3, 2 } << 1;
        QTest::newRow("bluetooth bound first") << QList<int> { 2, 3 } << 0;
        QTest::newRow("a lower rank wins") << QList<int> { 3, 2, 1 } << 2;
    }

    void framesTakeTheSensorsPreferredLink()
    {
        QFETCH(QList<int>, ranks);
        QFETCH(int, chosen);
        TemporaryStorage storage;
        Links manager;
        QList<RecordingLink*> links;
        for (int i = 0; i < ranks.size(); ++i) {
            links.append(manager.open(QString("link%1").arg(i), ranks.at(i)));
            manager.bind(links.last(), 0x1a2b);
        }
        RecordingLink* other = manager.open("other", 1);
        manager.bind(other, 0x99);

        manager.writeToDevice(0x1a2b, "<msg>1frame</msg>\r\n");
        for (int i = 0; i < links.size(); ++i)
            QCOMPARE(links.at(i)->written.size(), i == chosen ? 1 : 0);
        QCOMPARE(links.at(chosen)->written.first(), QByteArray("<msg>1frame</msg>\r\n"));
        QVERIFY(other->written.isEmpty());
    }

    void framesForASensorWithoutLinkAreDroppedQuietly()
    {
        TemporaryStorage storage;
        Links manager;
        RecordingLink* link = manager.open("ttyUSB0", 3);
        LogCapture log;
        manager.writeToDevice(0x5, "frame");
        QVERIFY(link->written.isEmpty());
        QCOMPARE(log.lines(), QStringList());
        QVERIFY(!QDir(storage.path() + "/commlogs").exists());
    }

    void writesReachOnlyOpenLinksAndAreLogged()
    {
        TemporaryStorage storage;
        Links manager;
        RecordingLink* open = manager.open("pts/3", 3);
        RecordingLink* closed = manager.discovered("ttyUSB9", 3);

        LogCapture log;
        manager.writeToInterface("ttyUSB9", "nope");
        manager.writeToInterface("missing", "nope");
        QVERIFY(closed->written.isEmpty());
        QCOMPARE(log.lines(),
                 (QStringList { " Interfacemanager was asked to write to nonexisting interface:  \"ttyUSB9\"",
                                " Interfacemanager was asked to write to nonexisting interface:  \"missing\"" }));

        QByteArray binary("a\0b", 3);
        manager.writeToInterface("pts/3", "first");
        manager.writeToInterface("pts/3", binary);
        QCOMPARE(open->written, (QList<QByteArray> { "first", binary }));
        Store::drop(); // closes the logs
        QCOMPARE(StorageFiles::read(Store::commLogPath("CommLogOut ", "pts/3")),
                 QByteArray("first||||") + binary + QByteArray("||||"));
    }

    void receiveBuffersAreKeptPerLinkAndClearedPerSensor()
    {
        Links manager;
        RecordingLink* usb = manager.open("ttyUSB0", 3);
        RecordingLink* bt = manager.open("1122aabbcc", 2);
        RecordingLink* otherSensor = manager.open("ttyUSB1", 3);
        manager.bind(usb, 0x7);
        manager.bind(bt, 0x7);
        manager.bind(otherSensor, 0x8);

        QByteArray* buffer = manager.interfaceDataBuffer("ttyUSB0");
        QVERIFY(buffer->isEmpty());
        QCOMPARE(manager.interfaceDataBuffer("ttyUSB0"), buffer);
        buffer->append("usb bytes");
        manager.interfaceDataBuffer("1122aabbcc")->append("bt bytes");
        manager.interfaceDataBuffer("ttyUSB1")->append("other");
        manager.interfaceDataBuffer("gone")->append("unbound");
        manager.pushThrough("ttyUSB0", 904);

        manager.clearDeviceDataBuffers(0x7);
        QVERIFY(manager.interfaceDataBuffer("ttyUSB0")->isEmpty());
        QVERIFY(manager.interfaceDataBuffer("1122aabbcc")->isEmpty());
        QCOMPARE(*manager.interfaceDataBuffer("ttyUSB1"), QByteArray("other"));
        QCOMPARE(*manager.interfaceDataBuffer("gone"), QByteArray("unbound"));
        // What was cleared counts as dropped, so stream positions never go back.
        QCOMPARE(manager.interfaceBufferOffset("ttyUSB0"), quint64(904 + 9));
        QCOMPARE(manager.interfaceBufferOffset("1122aabbcc"), quint64(8));
        QCOMPARE(manager.interfaceBufferOffset("ttyUSB1"), quint64(0));

        manager.clearDeviceDataBuffers(0x99);
        QCOMPARE(*manager.interfaceDataBuffer("ttyUSB1"), QByteArray("other"));
    }

    // A link that goes takes its window with it; one that comes back under
    // its old name (or any new link) starts behind every position handed
    // out before, so nothing that waits on an old position is fooled.
    void releasedWindowsNeverRepeatAPosition()
    {
        Links manager;
        ReceiveBuffers& buffers = manager.buffers();
        buffers.append("ttyUSB0", QByteArray(5000, 'a'));
        QCOMPARE(buffers.buffer("ttyUSB0")->size(), ReceiveBuffers::kMaxBytes);
        QCOMPARE(buffers.offset("ttyUSB0"), quint64(5000 - ReceiveBuffers::kMaxBytes));
        buffers.append("rfcomm0", "xyz");
        QCOMPARE(buffers.offset("rfcomm0"), quint64(5000));
        QCOMPARE(buffers.count(), 2);

        buffers.release("ttyUSB0");
        QCOMPARE(buffers.count(), 1);
        QVERIFY(buffers.buffer("ttyUSB0")->isEmpty());
        QCOMPARE(buffers.endPosition("ttyUSB0"), quint64(5003));
        buffers.append("ttyUSB0", "new");
        QCOMPARE(buffers.endPosition("ttyUSB0"), quint64(5006));
    }

    void onlyOpenLinksCount()
    {
        Links manager;
        QCOMPARE(manager.numberOfConnectedInterfaces(), 0);
        manager.open("a", 3);
        manager.open("b", 2);
        manager.discovered("c", 3);
        QCOMPARE(manager.numberOfConnectedInterfaces(), 2);
    }
};

QTEST_GUILESS_MAIN(TestInterfaceManager)
#include "tst_interfacemanager.moc"
