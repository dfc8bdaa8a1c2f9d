#include "ManualClock.h"
#include "PtyEndpoint.h"
#include "SimulatedSensor.h"

#include "SimWire.h"

#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace sensorsim;
using namespace simwire;

namespace {

// Opens the terminal side as a host program would (without touching its settings).
int openTerminal(const QString& path)
{
    return ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

// Services the endpoint and collects what arrives on the terminal side until
// `until` is in it or a second has gone by.
QByteArray collect(PtyEndpoint& endpoint, int fd, const QByteArray& until)
{
    QByteArray received;
    QElapsedTimer timer;
    timer.start();
    while (!received.contains(until) && timer.elapsed() < 1000) {
        endpoint.service();
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
            char buffer[8192];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                received.append(buffer, int(n));
        }
    }
    return received;
}

} // namespace

class TestPtyEndpoint : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void answersOnARawTerminalAcrossReopening()
    {
        auto clock = std::make_shared<ManualClock>();
        SimulatedSensor sensor(0x4B560001, clock);
        PtyEndpoint endpoint(&sensor);
        QString error;
        QVERIFY2(endpoint.open(&error), qPrintable(error));
        QVERIFY(endpoint.path().startsWith(QStringLiteral("/dev/")));
        endpoint.service();
        QVERIFY(!endpoint.isHostConnected());

        for (char number : {'1', '2', '3'}) {
            const int fd = openTerminal(endpoint.path());
            QVERIFY(fd >= 0);
            ::write(fd, request(number, "<GetSerial>").constData(), size_t(request(number, "<GetSerial>").size()));
            // Every byte arrives as sent: carriage return, line feed and zero bytes included.
            const QByteArray expected = QByteArray("<msg>") + number + "<SndSerial>" + QByteArray::fromHex("000000004b560001") + "</msg>\r\n";
            QCOMPARE(collect(endpoint, fd, "</msg>\r\n"), expected);
            QVERIFY(endpoint.isHostConnected());
            ::close(fd);
            endpoint.service();
            QVERIFY(!endpoint.isHostConnected());
        }
        QCOMPARE(sensor.requestLog().size(), 3);
    }

    void closingTheTerminalStopsTheLiveStream()
    {
        auto clock = std::make_shared<ManualClock>();
        SimulatedSensor sensor(0x7, clock);
        PtyEndpoint endpoint(&sensor);
        QVERIFY(endpoint.open());
        const int fd = openTerminal(endpoint.path());
        QVERIFY(fd >= 0);
        const QByteArray on = request('1', "<SetFeature>", QByteArray::fromHex("0401"));
        ::write(fd, on.constData(), size_t(on.size()));
        QVERIFY(collect(endpoint, fd, "<msg>1<OK></msg>\r\n").startsWith("<msg>1<OK></msg>\r\n"));
        clock->advanceMs(100);
        QVERIFY(collect(endpoint, fd, QByteArray::fromHex("bb66")).contains(QByteArray::fromHex("aa55")));
        QVERIFY(sensor.isStreaming());
        ::close(fd);
        endpoint.service();
        QVERIFY(!sensor.isStreaming());
    }

    void aSensorThatDropsTheLinkGetsANewTerminal()
    {
        auto clock = std::make_shared<ManualClock>();
        SimulatedSensor sensor(0x8, clock);
        sensor.faults().closeAfterFrames = 1;
        PtyEndpoint endpoint(&sensor);
        QVERIFY(endpoint.open());
        const QString firstPath = endpoint.path();
        const int fd = openTerminal(firstPath);
        QVERIFY(fd >= 0);
        const QByteArray query = request('1', "<GetTopState>");
        ::write(fd, query.constData(), size_t(query.size()));
        QCOMPARE(collect(endpoint, fd, "</msg>\r\n"), QByteArray("<msg>1<SndTopState>") + char(0) + "</msg>\r\n");
        bool replaced = false;
        QElapsedTimer timer;
        timer.start();
        while (!replaced && timer.elapsed() < 2000) {
            endpoint.service();
            replaced = endpoint.takePathChanged();
            QTest::qWait(5);
        }
        QVERIFY(replaced);
        QVERIFY(sensor.isLinkOpen());
        ::close(fd);

        const int second = openTerminal(endpoint.path());
        QVERIFY(second >= 0);
        const QByteArray again = request('2', "<GetTopState>");
        ::write(second, again.constData(), size_t(again.size()));
        QCOMPARE(collect(endpoint, second, "</msg>\r\n"), QByteArray("<msg>2<SndTopState>") + char(0) + "</msg>\r\n");
        ::close(second);
    }
};

QTEST_GUILESS_MAIN(TestPtyEndpoint)
#include "tst_ptyendpoint.moc"
