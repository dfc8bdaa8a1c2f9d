#include "UploadRig.h"

#include "Data/Measurement.h"

#include <QSignalSpy>

UploadRig::UploadRig(const QString& storageFolder)
    : WorkflowRig(storageFolder)
{
    QObject::connect(&devices, &DeviceManager::deviceConnected, &upload,
                     qOverload<quint64>(&UploadController::uploadAllMeasurementsFromDevice));
}

bool UploadRig::uploadSettled()
{
    return upload.numberOfScheduledMessages() + upload.numberOfActiveMessages() == 0;
}

bool UploadRig::ready(quint64 serial)
{
    return online(serial) && upload.hasReadTable(serial) && uploadSettled();
}

bool UploadRig::uploaded(quint64 serial, quint64 measurementId)
{
    Measurement* host = measurements.getMeasurementOnHostById(measurementId);
    return upload.activeUpload(serial) == 0 && !upload.pendingUploads(serial).contains(measurementId)
        && host != nullptr && host->uploadFromDeviceComplete(serial);
}

double UploadRig::progress(const QSignalSpy& spy, quint64 serial)
{
    const QString device = QString::number(serial, 16);
    for (int i = spy.count() - 1; i >= 0; --i) {
        if (spy.at(i).at(0).toString() == device)
            return spy.at(i).at(2).toDouble();
    }
    return -1.0;
}
