#include "Data/Track.h"

#include "Data/SampleMapCodec.h"
#include "Data/SquatJumpTrack.h"
#include "Data/Storable.h"
#include "Data/TrackSettings.h"
#include "Data/VectorIndex.h"
#include "Log/LogCategories.h"
#include "Protocol/Message.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDebug>

#include <algorithm>

namespace {

struct CatalogueRow {
    int id;
    const char* label;
    const char* shortTag; // null: the tag of an unknown id
    const char* unit;
    double scaleFactor;
    double minY;
    double maxY;
    bool vector;
    bool special;
};

const double kAccScale = 0.00048828125; // 1/2048
const double kGyrScale = 0.06097560975609757; // 1/16.4

// clang-format off
const CatalogueRow kCatalogue[] = {
    { 0x0110, QT_TRANSLATE_NOOP("Track", "Acc. X"), "AccX", "g", kAccScale, -17, 17, false, false },
    { 0x0111, QT_TRANSLATE_NOOP("Track", "Acc. Y"), "AccY", "g", kAccScale, -17, 17, false, false },
    { 0x0112, QT_TRANSLATE_NOOP("Track", "Acc. Z"), "AccZ", "g", kAccScale, -17, 17, false, false },
    { 0x0120, QT_TRANSLATE_NOOP("Track", "Gyr. X"), "GyrX", "deg/s", kGyrScale, -2000, 2000, false, false },
    { 0x0121, QT_TRANSLATE_NOOP("Track", "Gyr. Y"), "GyrY", "deg/s", kGyrScale, -2000, 2000, false, false },
    { 0x0122, QT_TRANSLATE_NOOP("Track", "Gyr. Z"), "GyrZ", "deg/s", kGyrScale, -2000, 2000, false, false },
    { 0x0130, QT_TRANSLATE_NOOP("Track", "Mag. X"), "MagX", "uT", 0.3, -17, 17, false, false },
    { 0x0131, QT_TRANSLATE_NOOP("Track", "Mag. Y"), "MagY", "uT", 0.3, -17, 17, false, false },
    { 0x0132, QT_TRANSLATE_NOOP("Track", "Mag. Z"), "MagZ", "uT", 0.3, -17, 17, false, false },
    { 0x0140, QT_TRANSLATE_NOOP("Track", "Fusion raw DMP"), nullptr, "Quaternion", 0, -17, 17, true, false },
    { 0x0141, QT_TRANSLATE_NOOP("Track", "Fusion with mag DMP"), nullptr, "Quaternion", 0, -17, 17, true, false },
    { 0x0210, QT_TRANSLATE_NOOP("Track", "Pressure"), "pressure", "bar", 1.0, -17, 17, false, false },
    { 0x0211, QT_TRANSLATE_NOOP("Track", "Temperature"), "temperature", "celsius", 1.0, -17, 17, false, false },
    { 0x0212, QT_TRANSLATE_NOOP("Track", "Altitude"), "altitude", "m asl", 1.0, -17, 17, false, false },
    { 0x0310, QT_TRANSLATE_NOOP("Track", "Battery Voltage"), "battVoltage", "mV", 1.0, -17, 17, false, false },
    { 0x0311, QT_TRANSLATE_NOOP("Track", "Charging State"), "chargeState", "isCharging", 1.0, -17, 17, false, false },
    { 0x0312, QT_TRANSLATE_NOOP("Track", "Battery Charge Current"), "chargeCurrent", "mA", 1.0, -17, 17, false, false },
    { 0x0330, QT_TRANSLATE_NOOP("Track", "ADC Value Channel 3"), "ADCvalueCH3", "value@3V3ref", 1.0, -17, 17, false, false },
    { 0x0340, QT_TRANSLATE_NOOP("Track", "ADC Value Channel 4"), "ADCvalueCH4", "value@3V3ref", 1.0, -17, 17, false, false },
    { 0x8001, QT_TRANSLATE_NOOP("Track", "UserAlgo0"), "UsrAlgoChnl0", "?", 1.0, -17, 17, false, false },
    { 0x8002, QT_TRANSLATE_NOOP("Track", "UserAlgo1"), "UsrAlgoChnl1", "?", 1.0, -17, 17, false, false },
    { 0x8003, QT_TRANSLATE_NOOP("Track", "UserAlgo2"), "UsrAlgoChnl2", "?", kAccScale, -17, 17, false, false },
    { 0x8004, QT_TRANSLATE_NOOP("Track", "Jump Height"), "JumpHeight", "cm", 1.0, -17, 17, false, true },
    { 0x8005, QT_TRANSLATE_NOOP("Track", "Jump State"), "JumpState", "State", 1.0, -17, 17, false, true },
    { 0x8014, QT_TRANSLATE_NOOP("Track", "Ground Contact Time"), "GCT", "ms", 1.0, 10, 300, false, false },
    { 0x8015, QT_TRANSLATE_NOOP("Track", "Ground Contact Time State"), "GCTState", "State", 1.0, -17, 17, false, true },
    { 0x8016, QT_TRANSLATE_NOOP("Track", "Ground Contact Time Time"), "GCTTime", "s", 1.0, -17, 17, false, false },
};
// clang-format on

const char* const kQuaternionComponents[] = { "alpha", "x", "y", "z" };

// A tail window of c elements for n: where it starts and how long it is.
void tailWindow(int count, quint32 n, int& start, int& length)
{
    if (count <= 0) {
        start = 0;
        length = 0;
        return;
    }
    const qint64 first = qMax<qint64>(qint64(count) - 1 - qint64(n), 0);
    start = static_cast<int>(first);
    length = static_cast<int>(qMin<qint64>(count - first, count - 1));
}

// The tail window of `count` elements for `n`, each element built by `at(i)`.
template <typename T, typename At>
QList<T> tailOf(int count, quint32 n, At at)
{
    int start = 0;
    int length = 0;
    tailWindow(count, n, start, length);
    QList<T> result;
    result.reserve(length);
    for (int i = start; i < start + length; ++i)
        result.append(at(i));
    return result;
}

} // namespace

TrackSettings* Track::catalogueSettings(int id)
{
    auto* settings = new TrackSettings(id);
    for (const CatalogueRow& row : kCatalogue) {
        if (row.id != id)
            continue;
        settings->label = QCoreApplication::translate("Track", row.label);
        if (row.shortTag != nullptr)
            settings->shortTag = QString::fromLatin1(row.shortTag);
        settings->unit = QString::fromLatin1(row.unit);
        settings->scaleFactor = row.scaleFactor;
        settings->minY = row.minY;
        settings->maxY = row.maxY;
        settings->special = row.special;
        if (row.vector) {
            settings->type = VectorTrack;
            for (const char* name : kQuaternionComponents)
                settings->components.append(new VectorIndex(QString::fromLatin1(name), 4, true, 1.0));
        }
        break;
    }
    return settings;
}

Track* Track::constructFromID(Track::TrackIDs id)
{
    TrackSettings* settings = catalogueSettings(id);
    Track* track = nullptr;
    if (id == JumpHeight)
        track = new SquatJumpTrack(settings);
    else
        track = new Track(settings);
    delete settings;
    qCDebug(lcData) << " Track got created from ID " << int(id) << ": " << track;
    return track;
}

Track::Track(QObject* parent)
    : QObject(parent)
{
}

Track::Track(TrackSettings* settings)
{
    applyTrackSettings(settings);
    m_downSamplingFactor = 0;
    m_currentSampleNumber = 0;
    m_doEmitUpdates = false;
}

Track::~Track()
{
    qCDebug(lcData) << " In Track destructor ";
    qDeleteAll(m_components);
}

void Track::applyTrackSettings(TrackSettings* settings)
{
    if (settings == nullptr)
        return;
    m_type = settings->type;
    m_signed = settings->isSigned;
    m_scaleFactor = settings->scaleFactor;
    m_unit = settings->unit;
    m_label = settings->label;
    m_shortTag = settings->shortTag;
    m_minY = settings->minY;
    m_maxY = settings->maxY;
    m_trackId = settings->trackId;
    // The track keeps its own copies: a settings record may build several
    // tracks and is usually gone right after.
    qDeleteAll(m_components);
    m_components.clear();
    for (const VectorIndex* component : qAsConst(settings->components)) {
        if (component != nullptr)
            m_components.append(new VectorIndex(*component));
    }
    updateRawFormat();
}

void Track::setTrackWidth(quint8 width)
{
    m_trackWidth = width;
    updateRawFormat();
}

void Track::updateRawFormat()
{
    m_scalarSamples.setRawFormat(m_trackWidth, m_signed, m_scaleFactor);
}

void Track::parseAndStoreSample(const QByteArray& packet, quint64& position)
{
    if (m_type == ScalarTrack)
        parseScalar(packet, position);
    else if (m_type == VectorTrack)
        parseVector(packet, position);
}

void Track::parseScalar(const QByteArray& packet, quint64& position)
{
    bool ok = false;
    double value = Message::parseScalarValue(m_trackWidth, m_signed, m_scaleFactor, packet, position, &ok);
    if (!ok)
        return;
    value = postProcessScalarValue(value);
    AddScalarSample(value);
    if (m_doEmitUpdates) {
        qCDebug(lcData) << " update for track: " << m_label << "Value: " << value;
        Q_EMIT newLiveValue(static_cast<quint32>(m_trackId), value);
    }
}

void Track::parseVector(const QByteArray& packet, quint64& position)
{
    QList<double> values;
    values.reserve(m_components.size());
    bool complete = true;
    for (const VectorIndex* component : qAsConst(m_components)) {
        bool ok = false;
        const double value = Message::parseScalarValue(component->getDataWidth(), component->isSigned(),
                                                       component->getScaleFactor(), packet, position, &ok);
        if (!ok) {
            complete = false;
            break;
        }
        values.append(value);
    }
    if (!complete) {
        qCDebug(lcData) << "Tried to parse vector after end of stream.";
        return;
    }
    // A track without components (one read from a record) has nothing to read.
    if (!values.isEmpty())
        AddVectorSample(values);
}

void Track::AddScalarSample(double value)
{
    m_scalarSamples.insert(m_currentSampleNumber, value);
}

void Track::clearScalarSamples()
{
    m_scalarSamples.clear();
}

void Track::squeezeSamples()
{
    m_scalarSamples.squeeze();
    m_vectorSamples.squeeze();
}

void Track::AddVectorSample(const QList<double>& components)
{
    m_vectorSamples.insert(m_currentSampleNumber, components);
}

namespace {

// Brings a list built from a store up to date: appends only extend it,
// anything else rebuilds it.
template <typename List, typename Store, typename State, typename Element>
List& refreshList(List& list, const Store& store, State& state, Element element)
{
    const int count = store.size();
    if (!state.built || state.reorderCount != store.reorderCount() || state.size > count) {
        list.clear();
        state.size = 0;
    }
    list.reserve(count);
    for (int i = state.size; i < count; ++i)
        list.append(element(i));
    state.built = true;
    state.reorderCount = store.reorderCount();
    state.size = count;
    return list;
}

} // namespace

QList<double>& Track::getScalarSamples()
{
    const ScalarSampleStore& store = m_scalarSamples;
    return refreshList(m_valueList, store, m_valueListState, [&store](int i) { return store.valueAt(i); });
}

QList<quint32>& Track::getScalarSampleNumbers()
{
    const ScalarSampleStore& store = m_scalarSamples;
    return refreshList(m_numberList, store, m_numberListState, [&store](int i) { return store.numberAt(i); });
}

QList<double>& Track::getScalarSampleNumbersDouble()
{
    const ScalarSampleStore& store = m_scalarSamples;
    return refreshList(m_numberDoubleList, store, m_numberDoubleListState, [&store](int i) { return double(store.numberAt(i)); });
}

QList<QList<double>>* Track::getVectorSamples()
{
    const VectorSampleStore& store = m_vectorSamples;
    return &refreshList(m_vectorSampleList, store, m_vectorSampleListState, [&store](int i) { return store.sampleAt(i); });
}

namespace {

// A list of `length` doubles filled by `fill(index, count, out)` in blocks:
// the store decodes a block at a time, which is cheaper than one element
// after the other.
template <typename Fill>
QList<double> doublesOf(int start, int length, Fill fill)
{
    QList<double> result;
    result.reserve(length);
    double block[512];
    for (int done = 0; done < length;) {
        const int count = qMin(length - done, 512);
        fill(start + done, count, block);
        for (int i = 0; i < count; ++i)
            result.append(block[i]);
        done += count;
    }
    return result;
}

} // namespace

QList<double> Track::getScalarSamplesFromEnd(quint32 n) const
{
    int start = 0;
    int length = 0;
    tailWindow(m_scalarSamples.size(), n, start, length);
    QList<double> result;
    result.reserve(length);
    m_scalarSamples.forEachValue(start, length, [&result](double value) { result.append(value); });
    return result;
}

QList<quint32> Track::getScalarSampleNumbersFromEnd(quint32 n) const
{
    return tailOf<quint32>(m_scalarSamples.size(), n, [this](int i) { return m_scalarSamples.numberAt(i); });
}

QList<double> Track::getScalarSampleNumbersDoubleFromEnd(quint32 n) const
{
    int start = 0;
    int length = 0;
    tailWindow(m_scalarSamples.size(), n, start, length);
    return doublesOf(start, length, [this](int i, int count, double* out) { m_scalarSamples.copyNumbers(i, count, out); });
}

QList<QList<double>> Track::getVectorSamplesFromEnd(quint32 n) const
{
    return tailOf<QList<double>>(m_vectorSamples.size(), n, [this](int i) { return m_vectorSamples.sampleAt(i); });
}

QList<quint32> Track::getVectorSampleNumbers() const
{
    QList<quint32> result;
    result.reserve(m_vectorSamples.size());
    for (int i = 0; i < m_vectorSamples.size(); ++i)
        result.append(m_vectorSamples.numberAt(i));
    return result;
}

void Track::releaseResultLists()
{
    m_vectorSampleList = QList<QList<double>>();
    m_valueList = QList<double>();
    m_numberList = QList<quint32>();
    m_numberDoubleList = QList<double>();
    m_vectorSampleListState = ListState();
    m_valueListState = ListState();
    m_numberListState = ListState();
    m_numberDoubleListState = ListState();
}

double Track::postProcessScalarValue(double value)
{
    return value;
}

QDataStream& operator<<(QDataStream& stream, const Track& track)
{
    Storable::writeSerializationVersion(stream);
    stream << static_cast<qint8>(track.m_type) << static_cast<qint32>(track.m_trackId)
           << static_cast<qint16>(track.m_downSamplingFactor) << track.m_signed
           << static_cast<qint8>(track.m_trackWidth) << static_cast<qint8>(track.m_configIndex) << track.m_scaleFactor
           << track.m_unit << track.m_label << track.m_shortTag << track.m_minY << track.m_maxY;
    SampleMapCodec::writeScalarMap(stream, track.m_scalarSamples);
    SampleMapCodec::writeVectorMap(stream, track.m_vectorSamples);
    qCDebug(lcData) << "Streamed track: " << track.m_label << " with  " << track.numberOfSamples() << " samples.";
    return stream;
}

QDataStream& operator>>(QDataStream& stream, Track*& track)
{
    auto* loaded = new Track(static_cast<QObject*>(nullptr));
    Storable::readSerializationVersion(stream);
    qint8 type = 0;
    qint32 id = 0;
    qint16 downSampling = 0;
    qint8 width = 0;
    qint8 configIndex = 0;
    stream >> type >> id >> downSampling >> loaded->m_signed >> width >> configIndex >> loaded->m_scaleFactor
        >> loaded->m_unit >> loaded->m_label >> loaded->m_shortTag >> loaded->m_minY >> loaded->m_maxY;
    loaded->m_type = type;
    loaded->m_trackId = id;
    // The record does not hold a vector track's components; without them a
    // later page of the track could not be read in step. The catalogue
    // knows them.
    if (type == Track::VectorTrack) {
        TrackSettings* settings = Track::catalogueSettings(id);
        for (const VectorIndex* component : qAsConst(settings->components)) {
            if (component != nullptr)
                loaded->m_components.append(new VectorIndex(*component));
        }
        delete settings;
    }
    loaded->m_downSamplingFactor = static_cast<quint16>(downSampling);
    loaded->m_trackWidth = static_cast<quint8>(width);
    loaded->m_configIndex = static_cast<quint8>(configIndex);
    loaded->updateRawFormat();
    if (stream.status() == QDataStream::Ok)
        SampleMapCodec::readScalarMap(stream, loaded->m_scalarSamples);
    if (stream.status() == QDataStream::Ok)
        SampleMapCodec::readVectorMap(stream, loaded->m_vectorSamples);
    if (stream.status() != QDataStream::Ok) {
        delete loaded;
        track = nullptr;
        return stream;
    }
    qCDebug(lcData) << " Track was loaded from stream. Number of samples: " << loaded->numberOfSamples();
    track = loaded;
    return stream;
}
