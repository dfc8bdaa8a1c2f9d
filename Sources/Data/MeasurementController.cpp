#include "Data/MeasurementController.h"

#include "Application/Helper.h"
#include "Application/NotificationHub.h"
#include "Data/AnalysisExport.h"
#include "Data/Measurement.h"
#include "Data/MeasurementsModel.h"
#include "Data/QualityFile.h"
#include "Data/SprintProgress.h"
#include "Data/SprintSummary.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Log/LogCategories.h"
#include "Protocol/FlashAddress.h"

#include <QDateTime>
#include <QDebug>
#include <QVariantList>

#include <algorithm>
#include <vector>

namespace {

const quint32 kOpenEnd = MeasurementController::kOpenStopAddress;

Measurement* findById(const MeasurementsModel* model, quint64 id)
{
    for (Storable* item : model->getDataList()) {
        auto* measurement = qobject_cast<Measurement*>(item);
        if (measurement != nullptr && measurement->getMeasurementID() == id)
            return measurement;
    }
    return nullptr;
}

} // namespace

MeasurementController::MeasurementController(QObject* parent)
    : QObject(parent)
    , m_measurementsOnHost(new MeasurementsModel(this))
{
}

void MeasurementController::addMeasurementOnHost(Measurement* measurement)
{
    if (measurement == nullptr)
        return;
    if (measurement->parent() == nullptr)
        measurement->setParent(this);
    m_measurementsOnHost->prependItem(measurement);
    m_measurementsOnHost->reorder();
}

void MeasurementController::addMeasurementOnHost(quint64 measurementID)
{
    auto* measurement = new Measurement(nullptr, measurementID);
    measurement->setParent(this);
    measurement->saveToDisk();
    addMeasurementOnHost(measurement);
}

bool MeasurementController::isMeasurementIdTaken(quint64 id) const
{
    if (id == 0 || findById(m_measurementsOnHost, id) != nullptr)
        return true;
    // A sensor's recording is uploaded into a host measurement of its id.
    for (const MeasurementsModel* model : m_measurementsOnDevices) {
        if (findById(model, id) != nullptr)
            return true;
    }
    return Measurement::isIdStored(id);
}

quint64 MeasurementController::newMeasurementId() const
{
    return Helper::generateFreeId64Bit([this](quint64 id) { return isMeasurementIdTaken(id); });
}

quint64 MeasurementController::addMeasurementOnHost(QString user, QString app, QString setup)
{
    const quint64 id = newMeasurementId();
    auto* measurement = new Measurement(nullptr, id);
    measurement->setParent(this);
    measurement->setUserName(user);
    measurement->setAppName(app);
    measurement->setSetupName(setup);
    measurement->setSamplingRate(m_baseFrequency);
    measurement->setStartTime(QDateTime::currentDateTime());
    measurement->saveToDisk();
    addMeasurementOnHost(measurement);
    return id;
}

Measurement* MeasurementController::getMeasurementOnHostByIndex(int index) const
{
    return m_measurementsOnHost->getMeasurement(index);
}

Measurement* MeasurementController::getMeasurementOnHostById(quint64 id) const
{
    Measurement* measurement = findById(m_measurementsOnHost, id);
    if (measurement == nullptr)
        qCDebug(lcData) << " MeasurementController was asked for non-existing measurement: " << Qt::hex << id;
    return measurement;
}

QList<Measurement*> MeasurementController::getMeasurementsOnHost() const
{
    QList<Measurement*> measurements;
    for (Storable* item : m_measurementsOnHost->getDataList()) {
        if (auto* measurement = qobject_cast<Measurement*>(item))
            measurements.append(measurement);
    }
    return measurements;
}

MeasurementsModel* MeasurementController::getMeasurementsOnDeviceModel(quint64 serial)
{
    MeasurementsModel* model = m_measurementsOnDevices.value(serial, nullptr);
    if (model != nullptr)
        return model;
    model = new MeasurementsModel(this);
    // What a sensor lists was never saved on the host; its id names the
    // host's copy of the upload, whose files a removed row must not take.
    model->setEraseFileOnRemove(false);
    model->setUpdateFileOnChange(false);
    // Its cards tell whether each recording is on the host already.
    model->setDeviceSerial(serial, [this](quint64 id) { return getMeasurementOnHostById(id); });
    m_measurementsOnDevices.insert(serial, model);
    qCDebug(lcData) << "Created Measurements Model for device: " << Qt::hex << serial;
    return model;
}

void MeasurementController::retainMeasurementsOnDevice(quint64 serial, const QSet<quint64>& listedIds)
{
    MeasurementsModel* model = getMeasurementsOnDeviceModel(serial);
    for (int row = model->rowCount() - 1; row >= 0; --row) {
        Measurement* measurement = model->getMeasurement(row);
        if (measurement == nullptr || listedIds.contains(measurement->getMeasurementID()))
            continue;
        qCDebug(lcData) << "Measurement " << Qt::hex << measurement->getMeasurementID()
                        << " is no longer on device " << serial;
        model->removeRows(row, 1);
        measurement->deleteLater();
    }
}

Measurement* MeasurementController::getMeasurementOnDeviceByIndex(quint64 serial, int index) const
{
    const MeasurementsModel* model = m_measurementsOnDevices.value(serial, nullptr);
    if (model == nullptr) {
        qCDebug(lcData) << "Measurement Controller was asked for measurement on device  " << serial
                        << ", at index: " << index << " Device does not exist. ";
        return nullptr;
    }
    Measurement* measurement = model->getMeasurement(index);
    if (measurement == nullptr) {
        qCDebug(lcData) << "Measurement Controller was asked for measurement on device  " << serial
                        << ", at index: " << index << " Index does not exist. ";
    }
    return measurement;
}

Measurement* MeasurementController::getMeasurementOnDeviceById(quint64 serial, quint64 id) const
{
    const MeasurementsModel* model = m_measurementsOnDevices.value(serial, nullptr);
    if (model == nullptr) {
        qCDebug(lcData) << "Measurement Controller was asked for measurement on device  " << Qt::hex << serial
                        << ", with id: " << id << "  Device does not exist. ";
        return nullptr;
    }
    Measurement* measurement = findById(model, id);
    if (measurement == nullptr) {
        qCDebug(lcData) << "Measurement Controller was asked for measurement on device  " << Qt::hex << serial
                        << ", with id: " << id << " id does not exist. ";
    }
    return measurement;
}

Measurement* MeasurementController::findMeasurementOnDevice(quint64 serial, quint64 id) const
{
    const MeasurementsModel* model = m_measurementsOnDevices.value(serial, nullptr);
    return model != nullptr ? findById(model, id) : nullptr;
}

QList<quint64> MeasurementController::getDeviceSerialsWithMeasurementId(quint64 id) const
{
    qCDebug(lcData) << " MeasurementController searches devices with MeasurementId: " << Qt::hex << id;
    QList<quint64> serials;
    for (auto it = m_measurementsOnDevices.cbegin(); it != m_measurementsOnDevices.cend(); ++it) {
        if (getMeasurementOnDeviceById(it.key(), id) == nullptr)
            continue;
        serials.append(it.key());
        qCDebug(lcData) << " Measurement " << Qt::hex << id << " was found on device: " << it.key();
    }
    return serials;
}

void MeasurementController::setProcessorController(ProcessorController* processorController)
{
    m_processorController = processorController;
}

bool MeasurementController::addMeasurementOnDevice(quint64 serial, quint64 id, quint32 start, quint32 stop)
{
    MeasurementsModel* model = getMeasurementsOnDeviceModel(serial);
    // The first report of a recording wins; later ones do not move its
    // addresses, except that a recording listed while it was still running
    // gets its stop address once the sensor has closed it.
    if (Measurement* listed = findById(model, id)) {
        if (listed->getStopAddress(serial) == kOpenEnd && stop != kOpenEnd && stop >= start)
            listed->setStopAddress(serial, stop);
        return false;
    }
    auto* measurement = new Measurement(id);
    measurement->setParent(this);
    measurement->setStartAddress(serial, start);
    measurement->setStopAddress(serial, stop);
    model->prependItem(measurement);
    Q_EMIT newMeasurementFound(serial, id);
    return true;
}

void MeasurementController::foundCompleteMeasurement(quint64 DeviceSerial, quint64 MeasurementId,
                                                     quint32 StartAddress, quint32 StopAddress)
{
    qCDebug(lcData) << "Found complete Measurement for device " << Qt::hex << DeviceSerial << " : " << MeasurementId
                    << Qt::dec << " from : " << StartAddress << " to " << StopAddress;
    addMeasurementOnDevice(DeviceSerial, MeasurementId, StartAddress, StopAddress);
}

void MeasurementController::foundStartedMeasurement(quint64 DeviceSerial, quint64 MeasurementId,
                                                    quint32 StartAddress)
{
    qCDebug(lcData) << "Found started Measurement for device " << Qt::hex << DeviceSerial << " : " << MeasurementId
                    << Qt::dec << " at: " << StartAddress;
    // A recording the sensor has not closed may run up to the end of flash.
    addMeasurementOnDevice(DeviceSerial, MeasurementId, StartAddress, kOpenEnd);
}

void MeasurementController::DeviceTrackFound(quint64 DeviceSerial, quint64 MeasurementId, quint16 trackID,
                                             quint16 dataWidth, quint16 downSampling, quint8 configIndex)
{
    Measurement* measurement = getMeasurementOnHostById(MeasurementId);
    if (measurement == nullptr) {
        qCDebug(lcData) << " DeviceTrackFound was emitted for unknown meausrement: " << Qt::hex << MeasurementId;
        return;
    }
    // A list read at start-up is only a header: what arrives now (a second
    // upload, say) goes on top of the stored samples, not in place of them.
    if (!measurement->loadStoredTrackList(DeviceSerial)) {
        // Nothing of it can be read; the list starts afresh.
        measurement->getTrackList(DeviceSerial)->setLoadMode(Storable::LoadFull);
    }
    TrackList* list = measurement->getTrackList(DeviceSerial);
    list->AddTrack(trackID, downSampling, static_cast<quint8>(dataWidth), configIndex);
    Q_EMIT DeviceTrackListChanged(DeviceSerial, MeasurementId, list);
}

void MeasurementController::trackListComplete(quint64 DeviceSerial, quint64 MeasurementId)
{
    Measurement* measurement = getMeasurementOnHostById(MeasurementId);
    if (measurement == nullptr) {
        qCDebug(lcData) << " Tracklist complete was emitted for unknown meausrement: " << Qt::hex << MeasurementId;
        return;
    }
    measurement->getTrackList(DeviceSerial)->emitComplete();
}

bool MeasurementController::parseMeasurementId(const QString& text, quint64& id)
{
    bool ok = false;
    id = text.toULongLong(&ok, 16);
    return ok;
}

void MeasurementController::exportMeasurement(QString MeasurementIdStr)
{
    quint64 id = 0;
    if (!parseMeasurementId(MeasurementIdStr, id))
        return;
    qCDebug(lcData) << " MeasurementController exports measurement: " << id;
    Measurement* measurement = getMeasurementOnHostById(id);
    if (measurement == nullptr)
        return;
    qCDebug(lcData) << " Measurement to export: " << measurement->generateFileName();
    // The user waits for this: say where the files went, or that they did not.
    if (measurement->Export())
        NotificationHub::instance()->sendInfo(tr("Exported to %1").arg(measurement->exportFolder()));
    else
        NotificationHub::instance()->sendError(
            tr("The measurement could not be exported to %1. Is the folder writable?").arg(measurement->exportFolder()));
}

void MeasurementController::loadMeasurementDataFromDisk(QString MeasurementIdStr)
{
    quint64 id = 0;
    if (!parseMeasurementId(MeasurementIdStr, id))
        return;
    Measurement* measurement = getMeasurementOnHostById(id);
    if (measurement == nullptr) {
        qCDebug(lcData) << " Measurement to load data from disk was not found on host: " << MeasurementIdStr;
        return;
    }
    measurement->loadMeasurementDataFromDisk();
}

bool MeasurementController::saveMeasurementStateToDisk(quint64 DeviceSerial, quint64 MeasurementId)
{
    Measurement* measurement = getMeasurementOnHostById(MeasurementId);
    if (measurement == nullptr) {
        qCDebug(lcData) << " saveMeasurementStateToDisk was called for unknown meausrement: " << Qt::hex
                        << MeasurementId;
        return false;
    }
    return measurement->saveUploadState(DeviceSerial);
}

void MeasurementController::saveMeasurementToDisk(Measurement* measurement)
{
    if (measurement != nullptr)
        measurement->saveToDisk();
}

void MeasurementController::uploadPageDone(quint64 DeviceSerial, quint64 MeasurementId, quint32 Address)
{
    Measurement* measurement = getMeasurementOnHostById(MeasurementId);
    if (measurement != nullptr)
        measurement->setLastUploadAddress(DeviceSerial, Address);
}

QVariantMap MeasurementController::sprintSummary(QString measurementId)
{
    quint64 id = 0;
    if (!parseMeasurementId(measurementId, id))
        return {};
    return SprintSummary::of(getMeasurementOnHostById(id));
}

QVariantMap MeasurementController::dataQuality(QString measurementId)
{
    quint64 id = 0;
    if (!parseMeasurementId(measurementId, id))
        return {};
    return QualityFile::summary(id, AnalysisExport::baseFrequencyOf(getMeasurementOnHostById(id)));
}

QVariantList MeasurementController::sprintProgress(QString userName)
{
    return SprintProgress::of(getMeasurementsOnHost(), userName);
}

QVariantMap MeasurementController::jumpHeights(QString measurementId)
{
    struct Jump {
        quint64 serial;
        quint32 sampleNumber;
        double heightCm;
    };
    std::vector<Jump> jumps;
    quint64 id = 0;
    Measurement* measurement = parseMeasurementId(measurementId, id) ? getMeasurementOnHostById(id) : nullptr;
    int baseFrequency = kDefaultBaseFrequency;
    if (measurement != nullptr) {
        measurement->loadMeasurementDataFromDisk();
        if (measurement->getSamplingRate() > 0)
            baseFrequency = measurement->getSamplingRate();
        for (quint64 serial : measurement->getDevicesInMeasurement()) {
            TrackList* list = measurement->getTrackList(serial);
            if (!list->getTrackOrder().contains(quint16(Track::JumpHeight)))
                continue;
            const ScalarSampleStore& store = list->getTrackById(Track::JumpHeight)->scalarSampleStore();
            for (int i = 0; i < store.size(); ++i) {
                const double height = store.valueAt(i);
                // No jump yet, or the one before held on.
                if (height <= 0 || (i > 0 && store.valueAt(i - 1) == height))
                    continue;
                jumps.push_back({ serial, store.numberAt(i), height });
            }
        }
    }
    std::stable_sort(jumps.begin(), jumps.end(),
                     [](const Jump& a, const Jump& b) { return a.sampleNumber < b.sampleNumber; });
    QVariantList list;
    double best = 0;
    double sum = 0;
    for (const Jump& jump : jumps) {
        list.append(QVariantMap {
            { QStringLiteral("serial"), QString::number(jump.serial, 16) },
            { QStringLiteral("number"), list.size() + 1 },
            { QStringLiteral("timeS"), double(jump.sampleNumber) / baseFrequency },
            { QStringLiteral("heightCm"), jump.heightCm },
        });
        best = std::max(best, jump.heightCm);
        sum += jump.heightCm;
    }
    return {
        { QStringLiteral("jumps"), list },
        { QStringLiteral("bestCm"), best },
        { QStringLiteral("meanCm"), jumps.empty() ? 0.0 : sum / double(jumps.size()) },
        { QStringLiteral("count"), int(jumps.size()) },
    };
}
