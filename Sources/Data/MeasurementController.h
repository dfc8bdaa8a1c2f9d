#pragma once

// Complete here so that the track list travels through the signal below as
// a known type (queued connections, the scene, signal spies).
#include "Data/TrackList.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QObject>
#include <QString>
#include <QVariantMap>

class Measurement;
class MeasurementsModel;
class ProcessorController;

// The registry of measurements: those stored on the host, listed newest
// first, and per sensor those found in its flash. It receives the stream
// header, allocation-table and upload-progress reports and offers export,
// loading and saving by measurement id. It owns its models and the
// measurements it lists.
class MeasurementController : public QObject
{
    Q_OBJECT
public:
    // The stop address given to a recording that a sensor lists without one
    // (still running, or cut off): the last page of the flash.
    static constexpr quint32 kOpenStopAddress = (1u << 24) | (4095u << 8) | 63u;

    explicit MeasurementController(QObject* parent = nullptr);

    // A new measurement on the host with the current time as start; saved at
    // once and listed. Returns its id, which no other measurement has.
    quint64 addMeasurementOnHost(QString user, QString app, QString setup);

    // An id in use: 0, a measurement on the host or in a sensor's list, or
    // one whose files are on disk (Measurement::isIdStored).
    bool isMeasurementIdTaken(quint64 id) const;
    // A fresh id that is not taken.
    quint64 newMeasurementId() const;

    MeasurementsModel* getMeasurementsOnHostModel() const { return m_measurementsOnHost; }
    Measurement* getMeasurementOnHostByIndex(int index) const;
    Measurement* getMeasurementOnHostById(quint64 id) const;
    // Every host measurement in list order.
    QList<Measurement*> getMeasurementsOnHost() const;

    // The sensor's list, created empty on first use.
    MeasurementsModel* getMeasurementsOnDeviceModel(quint64 serial);
    // After a table read: the sensor's list keeps only the recordings its
    // table still names (an erase leaves none).
    void retainMeasurementsOnDevice(quint64 serial, const QSet<quint64>& listedIds);
    Measurement* getMeasurementOnDeviceByIndex(quint64 serial, int index) const;
    Measurement* getMeasurementOnDeviceById(quint64 serial, quint64 id) const;
    QList<quint64> getDeviceSerialsWithMeasurementId(quint64 id) const;
    // The same look-up without a word in the log when nothing is found, for
    // callers that ask often.
    Measurement* findMeasurementOnDevice(quint64 serial, quint64 id) const;

    // The processors that derive measurements from the listed ones; not owned.
    void setProcessorController(ProcessorController* processorController);
    ProcessorController* getProcessorController() const { return m_processorController; }

    // What a sprint or an average of sprints came to per foot (see
    // SprintSummary); empty when it has no contact times or is unknown.
    Q_INVOKABLE QVariantMap sprintSummary(QString measurementId);
    // One point per recorded sprint of the athlete (every athlete's for
    // ""), oldest first (see SprintProgress).
    Q_INVOKABLE QVariantList sprintProgress(QString userName);
    // The squat jumps of a measurement, in time order: "jumps" (maps of
    // "serial", "number" from 1, "timeS", "heightCm"), "bestCm", "meanCm"
    // and "count". A sensor holds the height of its latest jump in every
    // sample until the next one: a run of samples with one height is one
    // jump, at its first sample.
    Q_INVOKABLE QVariantMap jumpHeights(QString measurementId);
    // How whole the measurement's data is, from its stored figures (see
    // QualityFile::summary); reads no samples.
    Q_INVOKABLE QVariantMap dataQuality(QString measurementId);
    // The sample rate times are counted in when a measurement names none.
    static constexpr int kDefaultBaseFrequency = 1000;

Q_SIGNALS:
    void newMeasurementFound(quint64 DeviceSerial, quint64 MeasurementId);
    void DeviceTrackListChanged(quint64 DeviceSerial, quint64 MeasurementId, TrackList* trackList);

public Q_SLOTS:
    void addMeasurementOnHost(Measurement* measurement);
    void addMeasurementOnHost(quint64 measurementID);
    void foundStartedMeasurement(quint64 DeviceSerial, quint64 MeasurementId, quint32 StartAddress);
    void foundCompleteMeasurement(quint64 DeviceSerial, quint64 MeasurementId, quint32 StartAddress,
                                  quint32 StopAddress);
    void DeviceTrackFound(quint64 DeviceSerial, quint64 MeasurementId, quint16 trackID, quint16 dataWidth,
                          quint16 downSampling, quint8 configIndex);
    void trackListComplete(quint64 DeviceSerial, quint64 MeasurementId);
    void exportMeasurement(QString MeasurementIdStr);
    void loadMeasurementDataFromDisk(QString MeasurementIdStr);
    // True when both the sensor's list and the record were written.
    bool saveMeasurementStateToDisk(quint64 DeviceSerial, quint64 MeasurementId);
    void saveMeasurementToDisk(Measurement* measurement);
    void uploadPageDone(quint64 DeviceSerial, quint64 MeasurementId, quint32 Address);
    // The base frequency the sensors were set up with: measurements made
    // from now on note it down.
    void setBaseFrequency(quint16 baseFrequency) { m_baseFrequency = baseFrequency; }

private:
    // Lists a measurement found on a sensor unless that sensor's list
    // already has its id; true when it was new.
    bool addMeasurementOnDevice(quint64 serial, quint64 id, quint32 start, quint32 stop);
    static bool parseMeasurementId(const QString& text, quint64& id);

    MeasurementsModel* m_measurementsOnHost = nullptr;
    QMap<quint64, MeasurementsModel*> m_measurementsOnDevices;
    ProcessorController* m_processorController = nullptr;
    quint16 m_baseFrequency = 0;
};
