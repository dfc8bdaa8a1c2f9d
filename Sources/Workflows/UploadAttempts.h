#pragma once

#include "Workflows/ActiveUploads.h"

#include <QMap>
#include <QPair>
#include <QString>

// Keeps count of the uploads that broke off, and decides whether one is
// tried again or given up: a sensor that is there but never delivers a page,
// or that stops an upload at the same page without samples again and again,
// gets a few chances, not endless ones.
class UploadAttempts
{
public:
    static constexpr int kMaxAttempts = 3;

    struct Verdict
    {
        // Empty when the upload is tried again; else the sentence for the
        // user why it was given up.
        QString giveUpReason;
        // A warning that goes with trying again, if any.
        QString retryWarning;
    };

    // What becomes of an upload that broke off after `ended`.
    Verdict judge(quint64 serial, const ActiveUploads::Upload& ended, bool deviceOnline);
    // A fresh start (the user asked again, or the upload ended).
    void forget(quint64 serial, quint64 measurementId);

    // A flash page as the user reads it.
    static QString pageText(quint32 packed);

private:
    using Key = QPair<quint64, quint64>; // device serial, measurement id

    QMap<Key, int> m_fruitless;
    // The page an upload last stopped at, and how often in a row it did.
    QMap<Key, QPair<quint32, int>> m_emptyPageStops;
};
