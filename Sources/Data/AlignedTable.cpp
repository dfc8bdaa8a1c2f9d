#include "Data/AlignedTable.h"

#include "Data/Measurement.h"
#include "Data/SprintSummary.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Data/VectorIndex.h"

#include <limits>

namespace {

QString columnName(quint64 serial, const Track* track, const QString& component, bool stepTimesInMs)
{
    QString name = QString::number(serial, 16) + QLatin1Char(':') + track->getLabel();
    if (!component.isEmpty())
        name += QLatin1Char(' ') + component;
    // The catalogue names seconds for the step times, but the sensors count
    // them in milliseconds (as the filter of the contact times does): the
    // table says what the numbers are.
    QString unit = track->getUnit();
    if (stepTimesInMs && track->getTrackId() == Track::GroundContactTimeTime && unit == QLatin1String("s"))
        unit = QStringLiteral("ms");
    return name + QStringLiteral(" [") + unit + QLatin1Char(']');
}

} // namespace

AlignedTable::AlignedTable(Measurement* measurement, int baseFrequency)
    : m_frequency(baseFrequency > 0 ? baseFrequency : 1)
{
    if (measurement == nullptr)
        return;
    const bool stepTimesInMs = SprintSummary::hasStepTimes(measurement);
    for (quint64 serial : measurement->getDevicesInMeasurement()) {
        TrackList* list = measurement->getTrackList(serial);
        // The order the sensor announced its tracks in, as its per-channel
        // files and the plots have them.
        for (quint16 id : list->getTrackOrder()) {
            const Track* track = list->getTrackById(id);
            if (track == nullptr)
                continue;
            if (track->getType() == Track::VectorTrack) {
                const QVector<VectorIndex*>& components = track->getComponents();
                int count = components.size();
                const VectorSampleStore& store = track->vectorSampleStore();
                for (int i = 0; i < store.size(); ++i)
                    count = qMax(count, store.componentCountAt(i));
                for (int c = 0; c < count; ++c) {
                    const QString part = c < components.size() && components.at(c) != nullptr
                        ? components.at(c)->getName()
                        : QString::number(c + 1);
                    m_columns.push_back({ serial, track, c, columnName(serial, track, part, stepTimesInMs) });
                }
            } else if (track->getType() == Track::ScalarTrack) {
                m_columns.push_back({ serial, track, -1, columnName(serial, track, QString(), stepTimesInMs) });
            }
        }
    }
    m_cursor.assign(m_columns.size(), 0);
    m_hit.assign(m_columns.size(), -1);
    bool any = false;
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        if (sizeOf(c) == 0)
            continue;
        const quint32 first = numberAt(c, 0);
        m_firstNumber = any ? qMin(m_firstNumber, first) : first;
        any = true;
    }
}

int AlignedTable::sizeOf(std::size_t column) const
{
    const Track* track = m_columns[column].track;
    return m_columns[column].component < 0 ? track->scalarSampleStore().size() : track->vectorSampleStore().size();
}

quint32 AlignedTable::numberAt(std::size_t column, int index) const
{
    const Track* track = m_columns[column].track;
    return m_columns[column].component < 0 ? track->scalarSampleStore().numberAt(index)
                                           : track->vectorSampleStore().numberAt(index);
}

double AlignedTable::sampleValue(std::size_t column, int index) const
{
    if (index < 0)
        return std::numeric_limits<double>::quiet_NaN();
    const Column& c = m_columns[column];
    if (c.component < 0)
        return c.track->scalarSampleStore().valueAt(index);
    const VectorSampleStore& store = c.track->vectorSampleStore();
    // A sample with fewer components than the widest has none for the rest.
    if (c.component >= store.componentCountAt(index))
        return std::numeric_limits<double>::quiet_NaN();
    return store.componentsAt(index)[c.component];
}

void AlignedTable::rewind()
{
    std::fill(m_cursor.begin(), m_cursor.end(), 0);
    std::fill(m_hit.begin(), m_hit.end(), -1);
}

bool AlignedTable::next()
{
    // The stores keep their samples ascending by number, one per number:
    // the next row is the smallest number any column has next.
    bool any = false;
    quint32 row = 0;
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        m_hit[c] = -1;
        if (m_cursor[c] >= sizeOf(c))
            continue;
        const quint32 number = numberAt(c, m_cursor[c]);
        if (!any || number < row)
            row = number;
        any = true;
    }
    if (!any)
        return false;
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        if (m_cursor[c] < sizeOf(c) && numberAt(c, m_cursor[c]) == row)
            m_hit[c] = m_cursor[c]++;
    }
    m_rowNumber = row;
    return true;
}

qint64 AlignedTable::rowCount()
{
    if (m_rowCount >= 0)
        return m_rowCount;
    rewind();
    qint64 rows = 0;
    while (next())
        ++rows;
    rewind();
    m_rowCount = rows;
    return rows;
}

std::vector<quint32> AlignedTable::rowNumbers()
{
    std::vector<quint32> numbers;
    if (m_rowCount >= 0)
        numbers.reserve(std::size_t(m_rowCount));
    rewind();
    while (next())
        numbers.push_back(m_rowNumber);
    rewind();
    m_rowCount = qint64(numbers.size());
    return numbers;
}
