#pragma once

// Complete here so that the measurements travel through the signals below
// as a known type (queued connections, the scene, signal spies).
#include "Data/Measurement.h"

#include <QList>
#include <QObject>
#include <QString>

class MeasurementController;
class Track;

// A post-processor: derives tracks or whole measurements from measurements
// stored on the host. The controller creates one per run, hands it its
// inputs and attributes, starts it and lets it go.
class Processor : public QObject
{
    Q_OBJECT
public:
    explicit Processor(QObject* parent = nullptr);

    virtual void startProcessing() = 0;
    virtual QString SetupIdentifier() = 0;
    virtual QString AppIdentifier() = 0;
    virtual void setAttributes(QString attributes);
    virtual void reset();
    // A new, saved measurement named after this processor; announced with
    // OutputMeasurementCreated. Returns its id.
    virtual quint64 createOutputMeasurement();

    // The registry the outputs are listed in (not owned): new ids are drawn
    // so that they are not taken there, and processors may look at what it
    // lists. Without one, an id only has to be free on disk.
    void setMeasurementController(MeasurementController* controller) { m_measurementController = controller; }
    MeasurementController* measurementController() const { return m_measurementController; }

    // The user name the output measurement is stored with (the athlete of
    // its inputs); empty by default.
    void setOutputUserName(QString name) { m_outputUserName = std::move(name); }

    // Whether the processor works on the measurements it is given. One that
    // does not (an import) runs even when there is nothing to give it.
    virtual bool usesInputMeasurements() const { return true; }

    // Inputs are put at the front: the list runs from the last added to the
    // first added.
    void addInputMeasurement(Measurement* measurement);
    const QList<Measurement*>& inputMeasurements() const { return m_inputMeasurements; }
    Measurement* outputMeasurement() const { return m_outputMeasurement; }
    QString attributes() const { return m_attributes; }

    // Mean of the track's values in sample order after dropping `cutInFront`
    // values at the front and `cutAtEnd` at the end; 0 when nothing is left.
    // Drops the inputs that were made by a live view (no sprint was run
    // for them), with a line in the log for each.
    void dropLiveViews();

    static double TrackAverage(Track* track, unsigned char cutInFront, unsigned char cutAtEnd);

Q_SIGNALS:
    void OutputMeasurementCreated(Measurement* measurement);
    void OutputMeasurementComplete(Measurement* measurement);

protected:
    // A fresh measurement id that no measurement has.
    quint64 newMeasurementId() const;

    QList<Measurement*> m_inputMeasurements;
    Measurement* m_outputMeasurement = nullptr;
    QString m_attributes;
    QString m_outputUserName;
    MeasurementController* m_measurementController = nullptr;
};
