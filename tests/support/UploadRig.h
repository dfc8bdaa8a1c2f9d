#pragma once

#include "Workflows/UploadController.h"

#include "WorkflowRig.h"

class QSignalSpy;

// The workflow rig with the upload workflow, wired as the application wires
// it: every newly connected sensor has its allocation table read.
struct UploadRig : WorkflowRig
{
    explicit UploadRig(const QString& storageFolder = QString());

    // Nothing of the upload workflow queued or in flight.
    bool uploadSettled();
    // Online, its table read, and nothing left to send.
    bool ready(quint64 serial);
    // Neither active nor pending, and stored complete on the host.
    bool uploaded(quint64 serial, quint64 measurementId);
    // The last progress reported for the device by a spy on
    // UploadController::uploadProgress; -1 before any.
    static double progress(const QSignalSpy& spy, quint64 serial);

    UploadController upload {nullptr, &devices, &measurements, &state};
};
