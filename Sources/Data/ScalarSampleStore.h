#pragma once

#include <QtGlobal>

#include <vector>

// Samples of one scalar channel, keyed by the device's sample number: at most
// one value per number, kept in ascending number order. Two parallel arrays
// (4 + 8 bytes per sample) instead of a tree node per sample, because an hour
// at 1 kHz is millions of samples per channel. Samples nearly always arrive
// in increasing order, so an append is amortised O(1); an out-of-order number
// is placed by binary search.
class ScalarSampleStore
{
public:
    int size() const { return static_cast<int>(m_numbers.size()); }
    bool isEmpty() const { return m_numbers.empty(); }

    // Stores `value` under `number`, replacing a value stored earlier under it.
    void insert(quint32 number, double value);

    quint32 numberAt(int index) const { return m_numbers[static_cast<std::size_t>(index)]; }
    double valueAt(int index) const { return m_values[static_cast<std::size_t>(index)]; }
    const std::vector<quint32>& numbers() const { return m_numbers; }
    const std::vector<double>& values() const { return m_values; }

    // Index of `number`, or -1.
    int indexOf(quint32 number) const;

    void clear();
    void reserve(int count);
    // Gives back the room kept for further appends, once a channel is
    // complete (an upload done): a store grown by appends holds up to
    // twice what it needs.
    void squeeze();

    // Replaces the content with `numbers`/`values` of equal length in any
    // order; repeated numbers keep the value that comes last.
    void assign(std::vector<quint32>&& numbers, std::vector<double>&& values);

    // Counts every change other than an append at the end, so that views
    // built from the store can tell whether extending them is enough.
    quint64 reorderCount() const { return m_reorderCount; }

private:
    std::vector<quint32> m_numbers;
    std::vector<double> m_values;
    quint64 m_reorderCount = 0;
};
