#include "Data/SampleOrder.h"

#include <algorithm>
#include <numeric>

SampleOrder::Kind SampleOrder::classify(const std::vector<quint32>& numbers)
{
    if (numbers.size() < 2)
        return StrictlyAscending;
    const bool ascending = numbers[1] > numbers[0];
    for (std::size_t i = 1; i < numbers.size(); ++i) {
        if (ascending ? numbers[i] <= numbers[i - 1] : numbers[i] >= numbers[i - 1])
            return Mixed;
    }
    return ascending ? StrictlyAscending : StrictlyDescending;
}

std::vector<std::size_t> SampleOrder::sortedUniqueOrder(const std::vector<quint32>& numbers)
{
    std::vector<std::size_t> order(numbers.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    // Stable: equal numbers stay in file order, so the last one of a run is
    // the one read last.
    std::stable_sort(order.begin(), order.end(),
                     [&numbers](std::size_t a, std::size_t b) { return numbers[a] < numbers[b]; });
    std::vector<std::size_t> unique;
    unique.reserve(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        const bool lastOfRun = i + 1 == order.size() || numbers[order[i + 1]] != numbers[order[i]];
        if (lastOfRun)
            unique.push_back(order[i]);
    }
    return unique;
}
