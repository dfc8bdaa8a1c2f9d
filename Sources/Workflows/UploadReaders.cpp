#include "Workflows/UploadReaders.h"

#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Data/TrackList.h"
#include "Devices/DeviceManager.h"
#include "Devices/KtDevice.h"
#include "Log/LogCategories.h"
#include "Protocol/UploadDataPage.h"
#include "Protocol/UploadHeader.h"

#include <QDebug>
#include <QPair>
#include <QSet>

UploadReaders::UploadReaders(MeasurementController* measurements, DeviceManager* devices)
    : m_measurements(measurements)
    , m_devices(devices)
{
}

bool UploadReaders::plan(quint64 serial, Measurement* deviceMeasurement, Plan& plan)
{
    if (m_measurements == nullptr || deviceMeasurement == nullptr)
        return false;
    const quint64 id = deviceMeasurement->getMeasurementID();
    Measurement* host = m_measurements->getMeasurementOnHostById(id);
    if (host == nullptr) {
        m_measurements->addMeasurementOnHost(id);
        host = m_measurements->getMeasurementOnHostById(id);
    }
    if (host == nullptr)
        return false;

    FlashAddress first(deviceMeasurement->getStartAddress(serial));
    first.incrementAddressByOnePage();
    const FlashAddress from = resumeAddress(host, deviceMeasurement, serial);
    host->setStartAddress(serial, deviceMeasurement->getStartAddress(serial));
    host->setStopAddress(serial, deviceMeasurement->getStopAddress(serial));

    plan.header = headerReader(serial, deviceMeasurement);
    plan.reader = dataReader(serial, deviceMeasurement, from);
    // A resumed upload first reads the page its progress names once more,
    // which must be stored already; if it is not, the reader goes back to
    // the first page before it reads anything else.
    plan.reader->setResumeCheck(first);

    const FlashAddress stop(deviceMeasurement->getStopAddress(serial));
    plan.upload.measurementId = id;
    plan.upload.firstPage = first.pageIndex();
    plan.upload.stopPage = stop.pageIndex();
    plan.upload.nextPage = from.pageIndex();
    plan.upload.openEnded = deviceMeasurement->getStopAddress(serial) == MeasurementController::kOpenStopAddress;
    plan.upload.reader = plan.reader;
    if (from != first)
        qCDebug(lcWorkflows) << " Upload of measurement " << QString::number(id, 16) << " from device "
                             << QString::number(serial, 16) << " goes on from page " << from;
    return true;
}

FlashAddress UploadReaders::resumeAddress(Measurement* host, Measurement* deviceMeasurement, quint64 serial)
{
    FlashAddress first(deviceMeasurement->getStartAddress(serial));
    first.incrementAddressByOnePage();
    if (!host->hasLastUploadAddress(serial))
        return first;
    // Progress of another recording under the same id says nothing here.
    if (host->getStartAddress(serial) != deviceMeasurement->getStartAddress(serial))
        return first;
    const FlashAddress last(host->getLastUploadAddress(serial));
    const FlashAddress stop(deviceMeasurement->getStopAddress(serial));
    // Nothing of the data stored yet, or all of it: read everything.
    if (last < first || !(last < stop))
        return first;
    if (!host->getDevicesInMeasurement().contains(serial) || !host->loadStoredTrackList(serial)
        || host->getTrackList(serial)->numberOfSamples() == 0)
        return first;
    return last;
}

int UploadReaders::pagesPerRequest(quint64 serial) const
{
    const KtDevice* device = m_devices != nullptr ? m_devices->getDeviceBySerial(serial) : nullptr;
    // Pages go over the cable whenever the sensor has one.
    if (device != nullptr && !device->getUsbConnected() && device->getBtConnected())
        return kBluetoothPagesPerRequest;
    return kUsbPagesPerRequest;
}

qint64 UploadReaders::pendingPages(const QMultiMap<quint64, quint64>& pending, const ActiveUploads& active) const
{
    qint64 pages = 0;
    if (m_measurements == nullptr)
        return pages;
    QSet<QPair<quint64, quint64>> counted;
    for (auto it = pending.cbegin(); it != pending.cend(); ++it) {
        const QPair<quint64, quint64> key(it.key(), it.value());
        if (counted.contains(key) || active.measurementOf(it.key()) == it.value())
            continue;
        counted.insert(key);
        const Measurement* listed = m_measurements->findMeasurementOnDevice(it.key(), it.value());
        if (listed == nullptr)
            continue;
        const quint32 start = listed->getStartAddress(it.key());
        const quint32 stop = listed->getStopAddress(it.key());
        if (stop == MeasurementController::kOpenStopAddress || !(start < stop))
            continue;
        pages += FlashAddress(stop).pageIndex() - FlashAddress(start).pageIndex();
    }
    return pages;
}

UploadHeader* UploadReaders::headerReader(quint64 serial, Measurement* deviceMeasurement) const
{
    auto* header = new UploadHeader(serial, FlashAddress(deviceMeasurement->getStartAddress(serial)));
    QObject::connect(header, &ParseHeader::DeviceTrackFound, m_measurements, &MeasurementController::DeviceTrackFound);
    QObject::connect(header, &ParseHeader::DeviceTracksParsed, m_measurements,
                     &MeasurementController::trackListComplete);
    return header;
}

UploadDataPage* UploadReaders::dataReader(quint64 serial, Measurement* deviceMeasurement, FlashAddress from) const
{
    const quint64 id = deviceMeasurement->getMeasurementID();
    auto* reader = new UploadDataPage(serial, id);
    reader->setStartAddress(from);
    reader->setStopAddress(deviceMeasurement->getStopAddress(serial));
    reader->setMeasurementId(id);
    reader->setPagesPerRequest(pagesPerRequest(serial));
    reader->setOpenEnded(deviceMeasurement->getStopAddress(serial) == MeasurementController::kOpenStopAddress);
    QObject::connect(m_measurements, &MeasurementController::DeviceTrackListChanged, reader,
                     &ParseDataStream::DeviceTrackListChanged, Qt::UniqueConnection);
    QObject::connect(reader, &UploadDataPage::uploadPageDone, m_measurements, &MeasurementController::uploadPageDone);
    return reader;
}

bool UploadReaders::anySensorHolds(quint64 measurementId) const
{
    if (m_measurements == nullptr || m_devices == nullptr)
        return false;
    const int total = m_devices->numberOfDevicesTotal();
    for (int index = 0; index < total; ++index) {
        if (m_measurements->getMeasurementOnDeviceById(m_devices->getDeviceSerial(index), measurementId) != nullptr)
            return true;
    }
    return false;
}
