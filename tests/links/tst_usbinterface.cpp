#include "Links/USBinterface.h"

#include "LogCapture.h"
#include "PseudoTerminal.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(QSerialPort::SerialPortError)

namespace {

// Sets KORVEX_EXTRA_SERIAL_PORTS for one test and restores it afterwards.
class ExtraPorts
{
public:
    explicit ExtraPorts(const QByteArray& value)
        : m_had(qEnvironmentVariableIsSet("KORVEX_EXTRA_SERIAL_PORTS"))
        , m_previous(qgetenv("KORVEX_EXTRA_SERIAL_PORTS"))
    {
        qputenv("KORVEX_EXTRA_SERIAL_PORTS", value);
    }
    ~ExtraPorts()
    {
        if (m_had)
            qputenv("KORVEX_EXTRA_SERIAL_PORTS", m_previous);
        else
            qunsetenv("KORVEX_EXTRA_SERIAL_PORTS");
    }

private:
    bool m_had;
    QByteArray m_previous;
};

void runCheckTimer(USBinterface& link)
{
    QVERIFY(QMetaObject::invokeMethod(&link, "checkPort", Qt::DirectConnection));
}

void raise(USBinterface& link, QSerialPort::SerialPortError error)
{
    QVERIFY(QMetaObject::invokeMethod(&link, "error", Qt::DirectConnection,
                                      Q_ARG(QSerialPort::SerialPortError, error)));
}

// Reads from the link until `count` bytes arrived, as the poll would.
QByteArray drain(USBinterface& link, int count, QList<int>* chunkSizes = nullptr)
{
    QByteArray received;
    QElapsedTimer timer;
    timer.start();
    while (received.size() < count && timer.elapsed() < 3000) {
        QCoreApplication::processEvents();
        const QByteArray chunk = link.read();
        if (!chunk.isEmpty() && chunkSizes)
            chunkSizes->append(chunk.size());
        received += chunk;
    }
    return received;
}

QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + 3) & 0xFF);
    return bytes;
}

} // namespace

class TestUSBinterface : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        qunsetenv("KORVEX_EXTRA_SERIAL_PORTS");
    }

    void identifierIsTheShortPortName_data()
    {
        QTest::addColumn<QString>("portName");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("location");
        QTest::newRow("listed name") << "ttyUSB0" << "ttyUSB0" << "/dev/ttyUSB0";
        QTest::newRow("path below /dev") << "/dev/ttyACM1" << "ttyACM1" << "/dev/ttyACM1";
        QTest::newRow("pseudo-terminal") << "/dev/pts/7" << "pts/7" << "/dev/pts/7";
        QTest::newRow("path elsewhere") << "/tmp/sim/ttyV0" << "/tmp/sim/ttyV0" << "/tmp/sim/ttyV0";
        QTest::newRow("bluetooth port file") << "rfcomm0" << "rfcomm0" << "/dev/rfcomm0";
    }

    void identifierIsTheShortPortName()
    {
        QFETCH(QString, portName);
        QFETCH(QString, identifier);
        QFETCH(QString, location);
        USBinterface link(portName);
        QCOMPARE(link.identifier(), identifier);
        // A scan must be able to tell which ports it already has links for.
        QCOMPARE(USBinterface::identifierForPort(portName), identifier);
        QCOMPARE(USBinterface::systemLocationForPort(portName), location);
        QCOMPARE(USBinterface::systemLocationForPort(identifier), location);
    }

    void extraPortsAreReadFromTheEnvironment_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QStringList>("ports");
        QTest::newRow("empty") << QByteArray() << QStringList();
        QTest::newRow("one") << QByteArray("/dev/pts/3") << QStringList{"/dev/pts/3"};
        QTest::newRow("two") << QByteArray("/dev/pts/3:/dev/pts/4") << QStringList{"/dev/pts/3", "/dev/pts/4"};
        QTest::newRow("stray separators") << QByteArray(":/dev/pts/3::/dev/pts/4:")
                                          << QStringList{"/dev/pts/3", "/dev/pts/4"};
    }

    void extraPortsAreReadFromTheEnvironment()
    {
        QFETCH(QByteArray, value);
        QFETCH(QStringList, ports);
        ExtraPorts extra(value);
        QCOMPARE(USBinterface::extraSerialPorts(), ports);
    }

    void bytesTravelBothWays()
    {
        PseudoTerminal pty;
        QVERIFY(pty.isValid());
        USBinterface link(pty.slavePath());
        QVERIFY(link.doConnect());
        QVERIFY(link.isConnected());

        link.write(QByteArray("<msg>\x01GetSerial</msg>\r\n"));
        QCOMPARE(pty.read(23), QByteArray("<msg>\x01GetSerial</msg>\r\n"));

        const QByteArray reply = pattern(300);
        QVERIFY(pty.write(reply));
        QCOMPARE(drain(link, reply.size()), reply);
    }

    void readWithNothingBufferedReturnsEmptyAtOnce()
    {
        PseudoTerminal pty;
        QVERIFY(pty.isValid());
        USBinterface link(pty.slavePath());
        QVERIFY(link.doConnect());
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 100; ++i)
            QVERIFY(link.read().isEmpty());
        QVERIFY2(timer.elapsed() < 100, "an empty read must not wait for data");
    }

    void readDeliversAtMost1024BytesPerCall()
    {
        PseudoTerminal pty;
        QVERIFY(pty.isValid());
        USBinterface link(pty.slavePath());
        QVERIFY(link.doConnect());
        const QByteArray payload = pattern(3000);
        QVERIFY(pty.write(payload));
        // Let the serial-port library buffer everything before the polls.
        QTest::qWait(300);
        QList<int> sizes;
        QCOMPARE(drain(link, payload.size(), &sizes), payload);
        QCOMPARE(sizes, (QList<int>{1024, 1024, 952}));
        QVERIFY(link.read().isEmpty());
    }

    void unopenableOrMissingPortFailsWithoutCrash_data()
    {
        QTest::addColumn<bool>("makeRegularFile");
        QTest::newRow("missing device") << false;
        QTest::newRow("not a terminal") << true;
    }

    void unopenableOrMissingPortFailsWithoutCrash()
    {
        QFETCH(bool, makeRegularFile);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("ttyKorvex"));
        if (makeRegularFile) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        USBinterface link(path);
        QSignalSpy lost(&link, &RemoteInterface::didDisconnect);
        LogCapture log;
        QVERIFY(!link.doConnect());
        QVERIFY(!link.doConnect());
        // One line per attempt; the link manager retries every second.
        QCOMPARE(log.count(QStringLiteral(" error happened connecting USB interface ")), 2);
        QVERIFY(!link.isConnected());
        QVERIFY(link.read().isEmpty());
        link.write(QByteArray("ignored"));
        QCOMPARE(lost.count(), 0);
    }

    void portThatVanishesWhileOpenIsLostOnce()
    {
        auto pty = std::make_unique<PseudoTerminal>();
        QVERIFY(pty->isValid());
        ExtraPorts extra(pty->slavePath().toLocal8Bit());
        USBinterface link(pty->slavePath());
        QSignalSpy lost(&link, &RemoteInterface::didDisconnect);
        QVERIFY(link.doConnect());

        // Well before the next presence check: the read errors of the
        // vanished port alone must close the link.
        pty.reset();
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 500);
        QCOMPARE(lost.first().first().toString(), link.identifier());
        QVERIFY(!link.isConnected());

        // Neither more read errors, nor the presence check, nor an explicit
        // close may announce the loss again.
        QTest::qWait(20);
        runCheckTimer(link);
        link.doDisconnect();
        raise(link, QSerialPort::ResourceError);
        QCOMPARE(lost.count(), 1);
        QVERIFY(link.read().isEmpty());
        QVERIFY(!link.doConnect());
    }

    void presenceCheckNoticesAVanishedPort_data()
    {
        QTest::addColumn<bool>("open");
        QTest::newRow("never opened") << false;
        QTest::newRow("open") << true;
    }

    void presenceCheckNoticesAVanishedPort()
    {
        QFETCH(bool, open);
        auto pty = std::make_unique<PseudoTerminal>();
        QVERIFY(pty->isValid());
        const QString path = pty->slavePath();
        ExtraPorts extra(path.toLocal8Bit());
        USBinterface link(path);
        QSignalSpy lost(&link, &RemoteInterface::didDisconnect);
        if (open)
            QVERIFY(link.doConnect());

        runCheckTimer(link);
        QCOMPARE(lost.count(), 0);

        // No event loop runs between the unplugging and the check, so only
        // the check can notice it.
        pty.reset();
        runCheckTimer(link);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(lost.first().first().toString(), QString(path).remove(0, 5));
        runCheckTimer(link);
        QTest::qWait(20);
        QCOMPARE(lost.count(), 1);
    }

    void presenceOfAPseudoTerminalDependsOnTheEnvironment_data()
    {
        QTest::addColumn<QString>("listing");
        QTest::addColumn<bool>("stays");
        QTest::newRow("listed") << "PATH" << true;
        QTest::newRow("listed among others") << "/dev/ttyKorvexNone:PATH" << true;
        QTest::newRow("listed with a redundant separator") << "/dev//SHORT" << true;
        QTest::newRow("not listed") << "" << false;
        QTest::newRow("another port listed") << "/dev/ttyKorvexNone" << false;
    }

    void presenceOfAPseudoTerminalDependsOnTheEnvironment()
    {
        QFETCH(QString, listing);
        QFETCH(bool, stays);
        PseudoTerminal pty;
        QVERIFY(pty.isValid());
        const QString path = pty.slavePath();
        listing.replace(QStringLiteral("PATH"), path);
        listing.replace(QStringLiteral("SHORT"), QString(path).remove(0, 5));
        ExtraPorts extra(listing.toLocal8Bit());
        USBinterface link(path);
        QSignalSpy lost(&link, &RemoteInterface::didDisconnect);
        QVERIFY(link.doConnect());
        runCheckTimer(link);
        runCheckTimer(link);
        QCOMPARE(lost.count(), stays ? 0 : 1);
        QCOMPARE(link.isConnected(), stays);
    }

    void onlyUnpluggingErrorsCloseTheLink_data()
    {
        QTest::addColumn<QSerialPort::SerialPortError>("error");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QString>("line");
        QTest::newRow("resource") << QSerialPort::ResourceError << true << " unplugged. ";
        QTest::newRow("not open") << QSerialPort::NotOpenError << true << " happend on serport: ";
        QTest::newRow("parity") << QSerialPort::ParityError << false << "";
        QTest::newRow("framing") << QSerialPort::FramingError << false << "";
        QTest::newRow("write") << QSerialPort::WriteError << false << "";
        QTest::newRow("read, port still there") << QSerialPort::ReadError << false << "";
        QTest::newRow("time-out") << QSerialPort::TimeoutError << false << "";
        QTest::newRow("unknown") << QSerialPort::UnknownError << false << "";
    }

    void onlyUnpluggingErrorsCloseTheLink()
    {
        QFETCH(QSerialPort::SerialPortError, error);
        QFETCH(bool, closes);
        QFETCH(QString, line);
        PseudoTerminal pty;
        QVERIFY(pty.isValid());
        USBinterface link(pty.slavePath());
        QSignalSpy lost(&link, &RemoteInterface::didDisconnect);
        QVERIFY(link.doConnect());
        LogCapture log;
        raise(link, error);
        QCOMPARE(lost.count(), closes ? 1 : 0);
        QCOMPARE(link.isConnected(), !closes);
        if (!line.isEmpty())
            QCOMPARE(log.count(line), 1);
        if (error == QSerialPort::NotOpenError)
            QVERIFY(log.contains(QStringLiteral("error  13  happend on serport: ")));
        if (!closes) {
            // Still usable after an ignored error.
            link.write(QByteArray("ok"));
            QCOMPARE(pty.read(2), QByteArray("ok"));
        }
    }

    void destroyingAnOpenLinkReleasesThePort()
    {
        PseudoTerminal pty;
        QVERIFY(pty.isValid());
        {
            USBinterface first(pty.slavePath());
            QVERIFY(first.doConnect());
            USBinterface competitor(pty.slavePath());
            QVERIFY(!competitor.doConnect());
        }
        USBinterface second(pty.slavePath());
        QVERIFY(second.doConnect());
        second.write(QByteArray("again"));
        QCOMPARE(pty.read(5), QByteArray("again"));
    }
};

QTEST_GUILESS_MAIN(TestUSBinterface)
#include "tst_usbinterface.moc"
