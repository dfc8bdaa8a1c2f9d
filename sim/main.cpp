// korvex-sensorsim: simulated KINEtrak sensors on pseudo-terminals, so the real
// serial link and the real program can be tried without hardware.

#include "PtyEndpoint.h"
#include "SimRandom.h"
#include "SimulatedSensor.h"
#include "SystemClock.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <memory>
#include <poll.h>
#include <vector>

using namespace sensorsim;

namespace {

volatile std::sig_atomic_t s_stop = 0;

void requestStop(int)
{
    s_stop = 1;
}

void printLine(const QString& line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

[[noreturn]] void usageError(const QString& message)
{
    std::fprintf(stderr, "korvex-sensorsim: %s\n", message.toLocal8Bit().constData());
    std::exit(2);
}

// "GetSerial", "<GetSerial>" or "<GetSerial>:3" (three times; without a count: for ever).
void addTokenRule(QHash<QByteArray, int>& rules, const QString& spec)
{
    QString token = spec;
    int count = -1;
    const int colon = spec.lastIndexOf(QLatin1Char(':'));
    if (colon > 0) {
        bool ok = false;
        count = spec.mid(colon + 1).toInt(&ok);
        if (!ok || count < 1)
            usageError(QStringLiteral("bad count in \"%1\"").arg(spec));
        token = spec.left(colon);
    }
    if (!token.startsWith(QLatin1Char('<')))
        token = QLatin1Char('<') + token + QLatin1Char('>');
    rules.insert(token.toLatin1(), count);
}

double probability(const QCommandLineParser& parser, const QString& name)
{
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    if (!ok || value < 0.0 || value > 1.0)
        usageError(QStringLiteral("--%1 wants a probability from 0 to 1").arg(name));
    return value;
}

qint64 count(const QCommandLineParser& parser, const QString& name, qint64 minimum, qint64 maximum)
{
    bool ok = false;
    const qint64 value = parser.value(name).toLongLong(&ok);
    if (!ok || value < minimum || value > maximum)
        usageError(QStringLiteral("--%1 wants a number from %2 to %3").arg(name).arg(minimum).arg(maximum));
    return value;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvex-sensorsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serves simulated KINEtrak sensors, each on its own pseudo-terminal in raw mode.\n"
        "Prints one line per sensor: its serial (hexadecimal) and its terminal path.\n"
        "If a sensor closes its link (--close-after), its terminal is replaced and a new\n"
        "line with the new path is printed. Runs until SIGINT or SIGTERM.\n"
        "Point the program at the terminals with KORVEX_EXTRA_SERIAL_PORTS=path1:path2."));
    parser.addHelpOption();
    const QList<QCommandLineOption> options{
        {QStringLiteral("sensors"), QStringLiteral("Number of sensors (default 1)."), QStringLiteral("n"), QStringLiteral("1")},
        {QStringLiteral("first-serial"), QStringLiteral("Serial of the first sensor in hexadecimal; the others count up (default 4b560001)."), QStringLiteral("hex"), QStringLiteral("4b560001")},
        {QStringLiteral("recorded"), QStringLiteral("Measurements already recorded in each sensor's flash, ready to upload (default 0)."), QStringLiteral("n"), QStringLiteral("0")},
        {QStringLiteral("recorded-seconds"), QStringLiteral("Length of each recorded measurement in seconds (default 10)."), QStringLiteral("s"), QStringLiteral("10")},
        {QStringLiteral("firmware"), QStringLiteral("Firmware revision the sensors report (default 42)."), QStringLiteral("n"), QStringLiteral("42")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the signals and of every random fault (default 1)."), QStringLiteral("n"), QStringLiteral("1")},
        {QStringLiteral("spikes"), QStringLiteral("Impact peaks on the accelerometer: single samples far above or below the signal, about every 0.3 to 0.8 s, in the stream and in the recordings.")},
        {QStringLiteral("byte-rate"), QStringLiteral("Bytes per second each link carries from the sensor, 0 for no limit (default 0)."), QStringLiteral("n"), QStringLiteral("0")},
        {QStringLiteral("groups-per-packet"), QStringLiteral("Sample groups per live packet at most (default 1)."), QStringLiteral("n"), QStringLiteral("1")},
        {QStringLiteral("reply-delay"), QStringLiteral("Every reply leaves this many milliseconds late."), QStringLiteral("ms"), QStringLiteral("0")},
        {QStringLiteral("reply-jitter"), QStringLiteral("Plus a random 0 to this many milliseconds (order is kept)."), QStringLiteral("ms"), QStringLiteral("0")},
        {QStringLiteral("drop-probability"), QStringLiteral("Probability that a reply is lost (the command still takes effect)."), QStringLiteral("p"), QStringLiteral("0")},
        {QStringLiteral("drop"), QStringLiteral("Lose the replies to this command, COUNT times or for ever, e.g. GetSerial:3. Repeatable."), QStringLiteral("token[:count]")},
        {QStringLiteral("nok-probability"), QStringLiteral("Probability that a command is refused with <NOK> (and not carried out)."), QStringLiteral("p"), QStringLiteral("0")},
        {QStringLiteral("nok"), QStringLiteral("Refuse this command with <NOK>, COUNT times or for ever, e.g. SetFeature. Repeatable."), QStringLiteral("token[:count]")},
        {QStringLiteral("corrupt-probability"), QStringLiteral("Probability that an outgoing byte is corrupted."), QStringLiteral("p"), QStringLiteral("0")},
        {QStringLiteral("garbage-probability"), QStringLiteral("Probability that random bytes go out before a frame or packet."), QStringLiteral("p"), QStringLiteral("0")},
        {QStringLiteral("close-after"), QStringLiteral("Each sensor closes its link once, after this many reply frames (0: never)."), QStringLiteral("n"), QStringLiteral("0")},
        {QStringLiteral("cut-runs-after"), QStringLiteral("Answers of several pages (<GetFlashPages>) break off after this many pages; the rest is never sent (0: never)."), QStringLiteral("k"), QStringLiteral("0")},
        {QStringLiteral("cut-run-probability"), QStringLiteral("Probability that an answer of several pages breaks off after a random number of them."), QStringLiteral("p"), QStringLiteral("0")},
        {QStringLiteral("request-log"), QStringLiteral("Append one line per request received to this file: serial, milliseconds since start, number (hex), token, payload (hex or -), outcome (answered, refused, dropped, cut; \"injected\" when a fault knob decided it)."), QStringLiteral("file")},
    };
    parser.addOptions(options);
    parser.process(app);

    const int sensorCount = int(count(parser, QStringLiteral("sensors"), 1, 64));
    bool ok = false;
    const quint64 firstSerial = parser.value(QStringLiteral("first-serial")).toULongLong(&ok, 16);
    if (!ok || firstSerial == 0)
        usageError(QStringLiteral("--first-serial wants a hexadecimal number other than 0"));
    const int recorded = int(count(parser, QStringLiteral("recorded"), 0, SimulatedSensor::kTableEntries));
    const double recordedSeconds = double(count(parser, QStringLiteral("recorded-seconds"), 0, 3600));
    const quint16 firmware = quint16(count(parser, QStringLiteral("firmware"), 0, 65535));
    const quint64 seed = quint64(count(parser, QStringLiteral("seed"), 0, std::numeric_limits<qint64>::max()));

    SensorFaults faults;
    faults.bytesPerSecond = count(parser, QStringLiteral("byte-rate"), 0, 1000000000);
    faults.replyDelayMs = int(count(parser, QStringLiteral("reply-delay"), 0, 600000));
    faults.replyJitterMs = int(count(parser, QStringLiteral("reply-jitter"), 0, 600000));
    faults.dropProbability = probability(parser, QStringLiteral("drop-probability"));
    faults.nokProbability = probability(parser, QStringLiteral("nok-probability"));
    faults.corruptProbability = probability(parser, QStringLiteral("corrupt-probability"));
    faults.garbageProbability = probability(parser, QStringLiteral("garbage-probability"));
    faults.closeAfterFrames = int(count(parser, QStringLiteral("close-after"), 0, 1000000000));
    faults.pageRunCutAfter = int(count(parser, QStringLiteral("cut-runs-after"), 0, 1000000000));
    faults.pageRunCutProbability = probability(parser, QStringLiteral("cut-run-probability"));
    for (const QString& spec : parser.values(QStringLiteral("drop")))
        addTokenRule(faults.dropTokens, spec);
    for (const QString& spec : parser.values(QStringLiteral("nok")))
        addTokenRule(faults.nokTokens, spec);
    const int groupsPerPacket = int(count(parser, QStringLiteral("groups-per-packet"), 1, 32));
    const bool spikes = parser.isSet(QStringLiteral("spikes"));

    std::unique_ptr<QFile> requestLog;
    if (parser.isSet(QStringLiteral("request-log"))) {
        requestLog = std::make_unique<QFile>(parser.value(QStringLiteral("request-log")));
        if (!requestLog->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
            usageError(QStringLiteral("cannot open the request log: %1").arg(requestLog->errorString()));
    }

    auto clock = std::make_shared<SystemClock>();
    std::vector<std::unique_ptr<SimulatedSensor>> sensors;
    std::vector<std::unique_ptr<PtyEndpoint>> endpoints;
    for (int i = 0; i < sensorCount; ++i) {
        const quint64 serial = firstSerial + quint64(i);
        auto sensor = std::make_unique<SimulatedSensor>(serial, clock, seed + quint64(i));
        sensor->setFirmware(firmware);
        // Serials count up: of each pair, the lower one is the left foot.
        sensor->setRightFoot(i % 2 == 1);
        sensor->setGroupsPerPacket(groupsPerPacket);
        sensor->setSpikes(spikes);
        SimRandom ids(seed ^ serial);
        for (int m = 0; m < recorded; ++m) {
            const quint64 id = ids.next() >> 1; // fits the signed form the host also accepts
            if (!sensor->addRecordedMeasurement(id, recordedSeconds))
                usageError(QStringLiteral("the flash of sensor %1 is full").arg(serial, 0, 16));
        }
        // Faults start after the prepared recordings, so they do not disturb them.
        sensor->setFaults(faults);
        if (requestLog) {
            QFile* file = requestLog.get();
            sensor->setRequestObserver([file, serial](const RequestRecord& r) {
                const QByteArray line = QStringLiteral("%1 %2 %3 %4 %5 %6%7\n")
                                            .arg(serial, 0, 16)
                                            .arg(double(r.timeUs) / 1000.0, 0, 'f', 3)
                                            .arg(r.number, 2, 16, QLatin1Char('0'))
                                            .arg(QString::fromLatin1(r.token))
                                            .arg(r.payload.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(r.payload.toHex()))
                                            .arg(QLatin1String(RequestRecord::outcomeName(r.outcome)))
                                            .arg(r.injected ? QStringLiteral(" injected") : QString())
                                            .toLatin1();
                file->write(line);
                file->flush();
            });
        }
        auto endpoint = std::make_unique<PtyEndpoint>(sensor.get());
        QString error;
        if (!endpoint->open(&error))
            usageError(QStringLiteral("cannot create a pseudo-terminal: %1").arg(error));
        sensors.push_back(std::move(sensor));
        endpoints.push_back(std::move(endpoint));
    }
    for (size_t i = 0; i < endpoints.size(); ++i)
        printLine(QStringLiteral("%1 %2").arg(sensors[i]->serial(), 0, 16).arg(endpoints[i]->path()));

    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::vector<pollfd> fds(endpoints.size());
    while (!s_stop) {
        bool busy = false;
        for (size_t i = 0; i < endpoints.size(); ++i) {
            // Terminals nobody has open report a hang-up all the time; they are
            // looked at on every round instead of waking the wait.
            fds[i] = {endpoints[i]->isHostConnected() ? endpoints[i]->fd() : -1, POLLIN, 0};
            busy = busy || sensors[i]->isStreaming() || sensors[i]->pendingBytes() > 0;
        }
        poll(fds.data(), nfds_t(fds.size()), busy ? 1 : 10);
        for (size_t i = 0; i < endpoints.size(); ++i) {
            endpoints[i]->service();
            if (endpoints[i]->takePathChanged())
                printLine(QStringLiteral("%1 %2").arg(sensors[i]->serial(), 0, 16).arg(endpoints[i]->path()));
        }
    }
    endpoints.clear();
    sensors.clear();
    return 0;
}
