#pragma once

#include "Processing/Processor.h"

class GctFilterProcessor;

// Turns a series of sprint measurements into one measurement with a value
// per sprint: the mean filtered ground contact time of the left foot, of
// the right foot, of both, and of both again for the sprints the athlete got
// feedback on. The left foot is the sensor with the lower serial.
class GctAverageProcessor : public Processor
{
    Q_OBJECT
public:
    // The fixed serial of the one track list of the output.
    static constexpr quint64 kOutputDeviceSerial = 123456;

    explicit GctAverageProcessor(QObject* parent = nullptr);
    ~GctAverageProcessor() override;

    void startProcessing() override;
    QString SetupIdentifier() override;
    QString AppIdentifier() override;
    // Stores the attributes and reads them as the feedback cycle.
    void setAttributes(QString attributes) override;

    // The 1-based positions in the series, separated by "-" ("2-4-6").
    void setFeedbackCycle(QString text);
    const QList<unsigned int>& feedbackCycle() const { return m_feedbackCycle; }

    // "filtered", "left", "right", "both" or "feedback"; null otherwise.
    static Track* constructGctTrack(QString which);
    // The mean filtered ground contact time of the sensor in the current
    // measurement, without its first and last three steps.
    double AverageOneFoot(unsigned long long deviceSerial);
    // How many of the sensor's filtered steps that mean is over.
    int averagedSteps(unsigned long long deviceSerial);

private:
    QList<unsigned int> m_feedbackCycle;
    Measurement* m_currentMeasurement = nullptr;
    GctFilterProcessor* m_filter = nullptr;
};
