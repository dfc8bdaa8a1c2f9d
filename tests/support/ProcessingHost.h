#pragma once

#include "Data/MeasurementController.h"
#include "Processing/ProcessorController.h"

#include <QSet>

// The measurement registry and the processors as the root wires them, over
// what is stored in the current storage folder (read at construction, as at
// start-up).
struct ProcessingHost {
    MeasurementController measurements;
    ProcessorController processors { nullptr, &measurements };

    ProcessingHost();

    // The ids of every measurement on the host.
    QSet<quint64> ids() const;
    // The one measurement that appeared since `before`; null when none or
    // more than one did.
    Measurement* added(const QSet<quint64>& before) const;
};
