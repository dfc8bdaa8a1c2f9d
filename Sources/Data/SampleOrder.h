#pragma once

#include <QtGlobal>

#include <cstddef>
#include <vector>

// Puts sample numbers read from a record into the order the sample stores
// keep. Records list samples from the highest number down, so the common
// cases are a plain reversal or nothing at all; anything else is sorted.
class SampleOrder
{
public:
    enum Kind { StrictlyAscending, StrictlyDescending, Mixed };

    static Kind classify(const std::vector<quint32>& numbers);

    // Indices into `numbers` in ascending number order, one per distinct
    // number; where a number repeats, the index of its last occurrence.
    static std::vector<std::size_t> sortedUniqueOrder(const std::vector<quint32>& numbers);
};
