#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

class Measurement;
class Track;

// Every channel of every sensor of a measurement on one time base, as a
// table an analysis tool reads without cleaning: one row per sample time
// that any channel has, one column per sensor and channel (a vector channel
// gives one column per component), empty where a channel has no sample at
// that time.
//
// A sample's time is its sample number over the base frequency the
// measurement was recorded at. The sensors start counting when the
// recording starts, so equal numbers are the same moment on every sensor;
// the table starts at 0 with the earliest sample of the measurement.
//
// The table reads the tracks where they lie: it holds one cursor per column,
// never a copy of the samples.
class AlignedTable
{
public:
    struct Column
    {
        quint64 serial = 0;
        const Track* track = nullptr;
        // The component of a vector track; -1 for a scalar track.
        int component = -1;
        // "<serial>:<label> [<unit>]", with the component's name for vectors.
        QString name;
    };

    // The measurement's track lists must be in memory.
    AlignedTable(Measurement* measurement, int baseFrequency);

    const std::vector<Column>& columns() const { return m_columns; }
    int baseFrequency() const { return m_frequency; }
    // Rows the table has; counted once, in one walk over the samples.
    qint64 rowCount();

    // Walks the rows in time order. Before the first call of next() and
    // after it returns false there is no current row.
    void rewind();
    bool next();
    // The current row's time in seconds from the first row.
    double time() const { return timeOf(m_rowNumber); }
    // Whether the column has a sample in the current row, and its value.
    bool has(std::size_t column) const { return m_hit[column] >= 0; }
    double value(std::size_t column) const { return sampleValue(column, m_hit[column]); }

    // The rows' sample numbers in time order, from one walk over the table;
    // a column at a time can then be read against them.
    std::vector<quint32> rowNumbers();
    double timeOf(quint32 number) const { return double(number - m_firstNumber) / double(m_frequency); }
    // A column's own samples, ascending by number, one per number.
    int sampleCount(std::size_t column) const { return sizeOf(column); }
    quint32 sampleNumber(std::size_t column, int index) const { return numberAt(column, index); }
    // NaN for index -1, and for a component the sample does not have.
    double sampleValue(std::size_t column, int index) const;

private:
    int sizeOf(std::size_t column) const;
    quint32 numberAt(std::size_t column, int index) const;

    std::vector<Column> m_columns;
    // The next sample of each column, and the one in the current row (-1: none).
    std::vector<int> m_cursor;
    std::vector<int> m_hit;
    int m_frequency = 1;
    quint32 m_firstNumber = 0;
    quint32 m_rowNumber = 0;
    qint64 m_rowCount = -1;
};
