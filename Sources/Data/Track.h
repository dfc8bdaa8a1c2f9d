#pragma once

#include "Data/ScalarSampleStore.h"
#include "Data/VectorSampleStore.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

class QDataStream;
class TrackSettings;
class VectorIndex;

// One signal channel of one sensor, holding its samples keyed by the
// device's sample number. The id names the channel in the track catalogue,
// which fixes label, tag, unit, scale and plot range.
class Track : public QObject
{
    Q_OBJECT
public:
    // The 16-bit channel ids: high byte 0x01 motion sensors, 0x02 barometer,
    // 0x03 power and analogue inputs, 0x80 computed by sensor algorithms or
    // host processors.
    enum TrackIDs {
        AccX = 0x0110,
        AccY = 0x0111,
        AccZ = 0x0112,
        GyrX = 0x0120,
        GyrY = 0x0121,
        GyrZ = 0x0122,
        MagX = 0x0130,
        MagY = 0x0131,
        MagZ = 0x0132,
        FusionRawDmp = 0x0140,
        FusionWithMagDmp = 0x0141,
        Pressure = 0x0210,
        Temperature = 0x0211,
        Altitude = 0x0212,
        BatteryVoltage = 0x0310,
        ChargingState = 0x0311,
        BatteryChargeCurrent = 0x0312,
        AdcValueChannel3 = 0x0330,
        AdcValueChannel4 = 0x0340,
        UserAlgo0 = 0x8001,
        UserAlgo1 = 0x8002,
        UserAlgo2 = 0x8003,
        JumpHeight = 0x8004,
        JumpState = 0x8005,
        GroundContactTime = 0x8014,
        GroundContactTimeState = 0x8015,
        GroundContactTimeTime = 0x8016,
        GctMeanLeft = 0x8017,
        GctMeanRight = 0x8018,
        GctMean = 0x8019,
        GctFeedback = 0x8020,
        GctFiltered = 0x8021,
        GctFilteredTime = 0x8022
    };

    enum Kinds { ScalarTrack = 0, VectorTrack = 1 };

    // A new track without parent, built from the catalogue row of `id`.
    static Track* constructFromID(Track::TrackIDs id);
    // The catalogue row of `id` as a settings record (the caller owns it).
    static TrackSettings* catalogueSettings(int id);

    explicit Track(QObject* parent = nullptr);
    explicit Track(TrackSettings* settings);
    ~Track() override;

    void applyTrackSettings(TrackSettings* settings);

    void setDownSamplingFactor(quint16 factor) { m_downSamplingFactor = factor; }
    void setTrackWidth(quint8 width);
    void setConfigIndex(quint8 index) { m_configIndex = index; }
    void setTrackId(int id) { m_trackId = id; }
    void setCurrentSampleNumber(quint32 number) { m_currentSampleNumber = number; }
    void setDoEmitUpdates(bool emitUpdates) { m_doEmitUpdates = emitUpdates; }

    int getTrackId() const { return m_trackId; }
    int getType() const { return m_type; }
    quint16 getDownSamplingFactor() const { return m_downSamplingFactor; }
    quint8 getTrackWidth() const { return m_trackWidth; }
    quint8 getConfigIndex() const { return m_configIndex; }
    bool isSigned() const { return m_signed; }
    double getScaleFactor() const { return m_scaleFactor; }
    QString getLabel() const { return m_label; }
    QString getVarName() const { return m_shortTag; }
    QString getUnit() const { return m_unit; }
    double getMinY() const { return m_minY; }
    double getMaxY() const { return m_maxY; }
    quint32 getCurrentSampleNumber() const { return m_currentSampleNumber; }
    bool doEmitUpdates() const { return m_doEmitUpdates; }
    const QVector<VectorIndex*>& getComponents() const { return m_components; }

    // Reads one sample of this track from `packet` at `position` and stores
    // it under the current sample number; `position` moves past it.
    void parseAndStoreSample(const QByteArray& packet, quint64& position);

    void AddScalarSample(double value);
    // Drops every scalar sample, for a track that is filled afresh.
    void clearScalarSamples();
    // Stores the component values of one vector sample under the current
    // sample number.
    void AddVectorSample(const QList<double>& components);

    // Whole lists, ascending by sample number. They are built when asked
    // for and stay valid until the next call of the same getter.
    QList<double>& getScalarSamples();
    QList<quint32>& getScalarSampleNumbers();
    QList<double>& getScalarSampleNumbersDouble();

    // Tail windows: with c stored samples, the sub-list from
    // max(c - 1 - n, 0) holding at most c - 1 elements.
    QList<double> getScalarSamplesFromEnd(quint32 n) const;
    QList<quint32> getScalarSampleNumbersFromEnd(quint32 n) const;
    QList<double> getScalarSampleNumbersDoubleFromEnd(quint32 n) const;

    int numberOfSamples() const { return m_scalarSamples.size(); }

    QList<QList<double>>* getVectorSamples();
    QList<QList<double>> getVectorSamplesFromEnd(quint32 n) const;
    QList<quint32> getVectorSampleNumbers() const;
    int numberOfVectorSamples() const { return m_vectorSamples.size(); }

    // Direct read access for bulk consumers (export, plots) that should not
    // have the whole lists built.
    const ScalarSampleStore& scalarSampleStore() const { return m_scalarSamples; }
    const VectorSampleStore& vectorSampleStore() const { return m_vectorSamples; }

    // Frees the lists built by the getters above.
    void releaseResultLists();
    // Gives back the room the sample stores keep for further samples.
    void squeezeSamples();

    virtual double postProcessScalarValue(double value);

    friend QDataStream& operator<<(QDataStream& stream, const Track& track);
    friend QDataStream& operator>>(QDataStream& stream, Track*& track);

Q_SIGNALS:
    void newLiveValue(quint32 TrackID, double value);

private:
    // What a built list was built from, so that appends only extend it.
    struct ListState {
        bool built = false;
        quint64 reorderCount = 0;
        int size = 0;
    };

    // Keeps the scalar store's raw form in step with width, sign and scale.
    void updateRawFormat();
    void parseScalar(const QByteArray& packet, quint64& position);
    void parseVector(const QByteArray& packet, quint64& position);

    bool m_doEmitUpdates = false;
    int m_type = ScalarTrack;
    int m_trackId = 0;
    quint16 m_downSamplingFactor = 0;
    bool m_signed = false;
    quint8 m_trackWidth = 0;
    quint8 m_configIndex = 0;
    double m_scaleFactor = 0.0;
    QString m_unit;
    QString m_label;
    QString m_shortTag;
    double m_minY = 0.0;
    double m_maxY = 0.0;
    VectorSampleStore m_vectorSamples;
    ScalarSampleStore m_scalarSamples;
    QList<QList<double>> m_vectorSampleList;
    QList<double> m_valueList;
    QList<quint32> m_numberList;
    QList<double> m_numberDoubleList;
    ListState m_vectorSampleListState;
    ListState m_valueListState;
    ListState m_numberListState;
    ListState m_numberDoubleListState;
    QVector<VectorIndex*> m_components;
    quint32 m_currentSampleNumber = 0;
};

QDataStream& operator<<(QDataStream& stream, const Track& track);
QDataStream& operator>>(QDataStream& stream, Track*& track);
