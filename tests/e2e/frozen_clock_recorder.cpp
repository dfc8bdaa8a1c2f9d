// One short recording per run, made the way the program makes one, on the
// storage folder named by KORVEX_STORAGE; or a list of what is stored. The
// frozen-clock test runs it twice at one instant of the wall clock.
//
//   frozen_clock_recorder clock          the wall clock, read twice, in ms
//   frozen_clock_recorder record VALUE   a recording whose samples start at VALUE
//   frozen_clock_recorder list           every stored measurement and its samples

#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/Track.h"
#include "Data/TrackList.h"

#include "SprintRecordings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>
#include <QTextStream>
#include <QThread>

#include <cstdio>

namespace {

const quint64 kSensor = 0x4b56;

int record(double first, QTextStream& out)
{
    MeasurementController controller;
    SprintRecordings::loadStored(controller);
    const quint64 id = controller.addMeasurementOnHost(QStringLiteral("Anna"), QStringLiteral("Sprint"),
                                                       QStringLiteral("Sprint 1kHz"));
    // The stream header announces the track, the samples arrive, the upload
    // saves the list and the record.
    controller.DeviceTrackFound(kSensor, id, Track::AccX, 2, 1, 0);
    Track* track = controller.getMeasurementOnHostById(id)->getTrackList(kSensor)->getTrackById(Track::AccX);
    for (int i = 0; i < 3; ++i) {
        track->setCurrentSampleNumber(quint32(i));
        track->AddScalarSample(first + i);
    }
    controller.saveMeasurementStateToDisk(kSensor, id);
    out << "recorded " << QString::number(id, 16) << ' '
        << controller.getMeasurementOnHostById(id)->getStartTime().toMSecsSinceEpoch() << '\n';
    return 0;
}

int list(QTextStream& out)
{
    MeasurementController controller;
    SprintRecordings::loadStored(controller);
    for (Measurement* measurement : controller.getMeasurementsOnHost()) {
        measurement->loadMeasurementDataFromDisk();
        QStringList values;
        for (quint64 serial : measurement->getDevicesInMeasurement()) {
            TrackList* tracks = measurement->getTrackList(serial);
            if (!tracks->getTrackOrder().contains(quint16(Track::AccX)))
                continue;
            for (double value : tracks->getTrackById(Track::AccX)->getScalarSamples())
                values << QString::number(value);
        }
        out << "measurement " << QString::number(measurement->getMeasurementID(), 16) << ' '
            << measurement->getStartTime().toMSecsSinceEpoch() << ' ' << values.join(',') << '\n';
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The lines below are the output; the program's own log goes to stderr.
    QTextStream out(stdout);
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);
    int result = 2;
    if (mode == QLatin1String("clock")) {
        const qint64 first = QDateTime::currentMSecsSinceEpoch();
        QThread::msleep(50);
        out << "clock " << first << ' ' << QDateTime::currentMSecsSinceEpoch() << '\n';
        result = 0;
    } else if (mode == QLatin1String("record") && args.size() == 2) {
        result = record(args.at(1).toDouble(), out);
    } else if (mode == QLatin1String("list")) {
        result = list(out);
    } else {
        std::fprintf(stderr, "usage: frozen_clock_recorder clock | record VALUE | list\n");
    }
    out.flush();
    return result;
}
