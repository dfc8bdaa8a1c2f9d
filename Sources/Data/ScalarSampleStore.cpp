#include "Data/ScalarSampleStore.h"

#include "Data/SampleOrder.h"

#include <algorithm>

void ScalarSampleStore::insert(quint32 number, double value)
{
    if (m_numbers.empty() || number > m_numbers.back()) {
        m_numbers.push_back(number);
        m_values.push_back(value);
        return;
    }
    const auto it = std::lower_bound(m_numbers.begin(), m_numbers.end(), number);
    const auto index = static_cast<std::size_t>(it - m_numbers.begin());
    ++m_reorderCount;
    if (*it == number) {
        m_values[index] = value;
        return;
    }
    m_numbers.insert(it, number);
    m_values.insert(m_values.begin() + static_cast<std::ptrdiff_t>(index), value);
}

int ScalarSampleStore::indexOf(quint32 number) const
{
    const auto it = std::lower_bound(m_numbers.begin(), m_numbers.end(), number);
    if (it == m_numbers.end() || *it != number)
        return -1;
    return static_cast<int>(it - m_numbers.begin());
}

void ScalarSampleStore::clear()
{
    std::vector<quint32>().swap(m_numbers);
    std::vector<double>().swap(m_values);
    ++m_reorderCount;
}

void ScalarSampleStore::squeeze()
{
    m_numbers.shrink_to_fit();
    m_values.shrink_to_fit();
}

void ScalarSampleStore::reserve(int count)
{
    if (count <= 0)
        return;
    m_numbers.reserve(static_cast<std::size_t>(count));
    m_values.reserve(static_cast<std::size_t>(count));
}

void ScalarSampleStore::assign(std::vector<quint32>&& numbers, std::vector<double>&& values)
{
    const std::size_t count = std::min(numbers.size(), values.size());
    numbers.resize(count);
    values.resize(count);
    switch (SampleOrder::classify(numbers)) {
    case SampleOrder::StrictlyAscending:
        break;
    case SampleOrder::StrictlyDescending:
        std::reverse(numbers.begin(), numbers.end());
        std::reverse(values.begin(), values.end());
        break;
    case SampleOrder::Mixed: {
        const std::vector<std::size_t> order = SampleOrder::sortedUniqueOrder(numbers);
        std::vector<quint32> sortedNumbers;
        std::vector<double> sortedValues;
        sortedNumbers.reserve(order.size());
        sortedValues.reserve(order.size());
        for (std::size_t i : order) {
            sortedNumbers.push_back(numbers[i]);
            sortedValues.push_back(values[i]);
        }
        numbers.swap(sortedNumbers);
        values.swap(sortedValues);
        break;
    }
    }
    m_numbers = std::move(numbers);
    m_values = std::move(values);
    ++m_reorderCount;
}
