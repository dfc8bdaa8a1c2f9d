#pragma once

#include "Data/SampleNumberRuns.h"

#include <QList>
#include <QtGlobal>

#include <cstddef>
#include <vector>

// Samples of one vector channel (for example the fusion quaternions), keyed
// by sample number like the scalar store: at most one list of component
// values per number, ascending by number, appends amortised O(1).
//
// The sample numbers are kept as runs. While every sample has the same
// number of components and every component is a 32-bit integer (what the
// sensors send: four raw quaternion components), the components lie in one
// flat array of raw integers. The first sample that does not fit that form
// turns the store into the general one: one flat array of doubles and a
// second array that marks where each sample's components end, so samples
// may differ in length.
class VectorSampleStore
{
public:
    int size() const { return m_numbers.size(); }
    bool isEmpty() const { return m_numbers.isEmpty(); }

    // Stores `components` under `number`, replacing what was stored under it.
    void insert(quint32 number, const double* components, int count);
    void insert(quint32 number, const QList<double>& components);

    quint32 numberAt(int index) const { return m_numbers.at(index); }
    int componentCountAt(int index) const;
    double componentAt(int index, int component) const;
    // The components of sample `index`; the pointer stays valid until the
    // next call on this store.
    const double* componentsAt(int index) const;
    QList<double> sampleAt(int index) const;

    int indexOf(quint32 number) const { return m_numbers.indexOf(number); }
    // True while the components are kept as raw integers.
    bool isRaw() const { return m_raw; }

    void clear();
    // Gives back the room kept for further appends.
    void squeeze();
    std::size_t bytes() const;

    // Replaces the content with samples given in any order: `numbers[i]`
    // owns `flat[ends[i-1] .. ends[i])`. Repeated numbers keep the last one.
    void assign(std::vector<quint32>&& numbers, std::vector<std::size_t>&& ends, std::vector<double>&& flat);

    // Filling the store from a record (highest number first) without an
    // intermediate copy; entries in any other order are placed one by one,
    // later ones winning.
    void beginRecordLoad();
    void addRecordEntry(quint32 number, const double* components, int count);
    void finishRecordLoad();

    quint64 reorderCount() const { return m_reorderCount; }

private:
    std::size_t beginOf(std::size_t index) const { return index == 0 ? 0 : m_ends[index - 1]; }
    bool fitsRaw(const double* components, int count) const;
    void toGeneral();
    void appendSample(const double* components, std::size_t n);
    void placeSample(std::size_t index, bool replace, const double* components, std::size_t n);
    void reverseSamples();

    SampleNumberRuns m_numbers;
    bool m_raw = true;
    std::size_t m_width = 0; // components per sample in the raw form
    std::vector<qint32> m_rawFlat;
    std::vector<std::size_t> m_ends;
    std::vector<double> m_flat;
    mutable std::vector<double> m_scratch;
    quint64 m_reorderCount = 0;
    bool m_loadingDescending = false;
};
