#pragma once

#include <QList>
#include <QtGlobal>

#include <cstddef>
#include <vector>

// Samples of one vector channel (for example the fusion quaternions), keyed
// by sample number like the scalar store: at most one list of component
// values per number, ascending by number, appends amortised O(1). The
// components of all samples lie in one flat array; a second array marks
// where each sample's components end, so samples may differ in length.
class VectorSampleStore
{
public:
    int size() const { return static_cast<int>(m_numbers.size()); }
    bool isEmpty() const { return m_numbers.empty(); }

    // Stores `components` under `number`, replacing what was stored under it.
    void insert(quint32 number, const double* components, int count);
    void insert(quint32 number, const QList<double>& components);

    quint32 numberAt(int index) const { return m_numbers[static_cast<std::size_t>(index)]; }
    int componentCountAt(int index) const;
    const double* componentsAt(int index) const;
    QList<double> sampleAt(int index) const;
    const std::vector<quint32>& numbers() const { return m_numbers; }

    int indexOf(quint32 number) const;

    void clear();
    // Gives back the room kept for further appends.
    void squeeze();

    // Replaces the content with samples given in any order: `numbers[i]`
    // owns `flat[ends[i-1] .. ends[i])`. Repeated numbers keep the last one.
    void assign(std::vector<quint32>&& numbers, std::vector<std::size_t>&& ends, std::vector<double>&& flat);

    quint64 reorderCount() const { return m_reorderCount; }

private:
    std::size_t beginOf(std::size_t index) const { return index == 0 ? 0 : m_ends[index - 1]; }

    std::vector<quint32> m_numbers;
    std::vector<std::size_t> m_ends;
    std::vector<double> m_flat;
    quint64 m_reorderCount = 0;
};
