#pragma once

#include "Workflows/ActiveUploads.h"
#include "Workflows/UploadAttempts.h"

#include <QCoreApplication>
#include <QString>

class MeasurementController;
class UploadDataPage;

// What an upload attempt that has ended comes to. What arrived is saved
// first, whatever the end; then the attempt is complete (its stop page is
// stored and saved), goes on later from the last page stored, or is given
// up with a sentence for the user. Only a stored stop page makes an upload
// complete.
class UploadOutcome
{
    Q_DECLARE_TR_FUNCTIONS(UploadOutcome)
public:
    enum class Kind {
        Complete,
        // Broke off; the rest is fetched once the sensor can be reached.
        Resume,
        // Given up: `reason` says why, and is to be shown as a warning.
        GiveUp,
        // What arrived could not be written; the error about the disk has
        // been shown already, `reason` goes with the failure.
        NotSaved,
    };

    struct Verdict
    {
        Kind kind = Kind::Resume;
        QString reason;
        // A warning that goes with trying again, if any.
        QString warning;
    };

    explicit UploadOutcome(MeasurementController* measurements);

    // The reader came to its end (the stop page, or the first empty page of
    // a recording without a stop address).
    Verdict finished(quint64 serial, quint64 id, const UploadDataPage* reader);
    // The attempt broke off after `ended`.
    Verdict aborted(quint64 serial, quint64 id, const ActiveUploads::Upload& ended, bool deviceOnline);
    // A fresh request from the user gets fresh chances.
    void forget(quint64 serial, quint64 id) { m_attempts.forget(serial, id); }

private:
    // Saves what the device's part holds and notes down how the reader (if
    // any) got it; false (and the user is told) when it could not be written.
    bool save(quint64 serial, quint64 id, const UploadDataPage* reader);
    static QString notSaved(quint64 serial, quint64 id);

    MeasurementController* m_measurements = nullptr;
    UploadAttempts m_attempts;
};
