#pragma once

#include "Processing/Processor.h"

class TrackList;

// Cleans the ground contact times a sensor computed: a step whose time lies
// far from those of its neighbours in time is dropped. The kept steps go
// into two new tracks of the same measurement, the times (0x8021) and their
// time stamps (0x8022), on every sensor of the measurement.
class GctFilterProcessor : public Processor
{
    Q_OBJECT
public:
    explicit GctFilterProcessor(QObject* parent = nullptr);

    void startProcessing() override;
    QString SetupIdentifier() override;
    QString AppIdentifier() override;

    static Track* constructGctTrack();
    static Track* constructGctTimeTrack();

    // Filters the sensor's ground contact times into its two output tracks,
    // which must be in its track list already. The filter works on steps
    // (StepSeries): a kept step is stored once, under its first sample
    // number.
    void FilterGct(unsigned long long deviceSerial);

    double neighbourTimeLimit() const { return m_neighbourTimeLimit; }
    double outlierLimit() const { return m_outlierLimit; }

private:
    // The list's output track of `id`, emptied and set up afresh when it is
    // there from an earlier run, else a new one added to the list.
    static Track* freshOutputTrack(TrackList* list, int id);

    double m_neighbourTimeLimit = 1000.0;
    double m_outlierLimit = 30.0;
    Measurement* m_measurement = nullptr;
};
