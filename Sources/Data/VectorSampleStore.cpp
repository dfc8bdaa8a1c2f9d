#include "Data/VectorSampleStore.h"

#include "Data/SampleOrder.h"

#include <algorithm>

void VectorSampleStore::insert(quint32 number, const double* components, int count)
{
    const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 0;
    if (m_numbers.empty() || number > m_numbers.back()) {
        m_numbers.push_back(number);
        m_flat.insert(m_flat.end(), components, components + n);
        m_ends.push_back(m_flat.size());
        return;
    }

    ++m_reorderCount;
    const auto it = std::lower_bound(m_numbers.begin(), m_numbers.end(), number);
    const auto index = static_cast<std::size_t>(it - m_numbers.begin());
    const std::size_t begin = beginOf(index);
    std::ptrdiff_t delta = static_cast<std::ptrdiff_t>(n);
    if (*it == number) {
        const std::size_t oldEnd = m_ends[index];
        delta -= static_cast<std::ptrdiff_t>(oldEnd - begin);
        m_flat.erase(m_flat.begin() + static_cast<std::ptrdiff_t>(begin),
                     m_flat.begin() + static_cast<std::ptrdiff_t>(oldEnd));
        m_flat.insert(m_flat.begin() + static_cast<std::ptrdiff_t>(begin), components, components + n);
        m_ends[index] = begin + n;
    } else {
        m_numbers.insert(it, number);
        m_flat.insert(m_flat.begin() + static_cast<std::ptrdiff_t>(begin), components, components + n);
        m_ends.insert(m_ends.begin() + static_cast<std::ptrdiff_t>(index), begin + n);
    }
    for (std::size_t i = index + 1; i < m_ends.size(); ++i)
        m_ends[i] = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(m_ends[i]) + delta);
}

void VectorSampleStore::insert(quint32 number, const QList<double>& components)
{
    const std::vector<double> values(components.cbegin(), components.cend());
    insert(number, values.data(), static_cast<int>(values.size()));
}

int VectorSampleStore::componentCountAt(int index) const
{
    const auto i = static_cast<std::size_t>(index);
    return static_cast<int>(m_ends[i] - beginOf(i));
}

const double* VectorSampleStore::componentsAt(int index) const
{
    return m_flat.data() + beginOf(static_cast<std::size_t>(index));
}

QList<double> VectorSampleStore::sampleAt(int index) const
{
    QList<double> sample;
    const int count = componentCountAt(index);
    const double* components = componentsAt(index);
    sample.reserve(count);
    for (int i = 0; i < count; ++i)
        sample.append(components[i]);
    return sample;
}

int VectorSampleStore::indexOf(quint32 number) const
{
    const auto it = std::lower_bound(m_numbers.begin(), m_numbers.end(), number);
    if (it == m_numbers.end() || *it != number)
        return -1;
    return static_cast<int>(it - m_numbers.begin());
}

void VectorSampleStore::squeeze()
{
    m_numbers.shrink_to_fit();
    m_ends.shrink_to_fit();
    m_flat.shrink_to_fit();
}

void VectorSampleStore::clear()
{
    std::vector<quint32>().swap(m_numbers);
    std::vector<std::size_t>().swap(m_ends);
    std::vector<double>().swap(m_flat);
    ++m_reorderCount;
}

void VectorSampleStore::assign(std::vector<quint32>&& numbers, std::vector<std::size_t>&& ends,
                               std::vector<double>&& flat)
{
    // Drop whatever a malformed caller gave beyond the consistent part.
    std::size_t count = std::min(numbers.size(), ends.size());
    std::size_t previous = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (ends[i] < previous || ends[i] > flat.size()) {
            count = i;
            break;
        }
        previous = ends[i];
    }
    numbers.resize(count);
    ends.resize(count);

    const SampleOrder::Kind kind = SampleOrder::classify(numbers);
    if (kind == SampleOrder::StrictlyAscending) {
        flat.resize(count == 0 ? 0 : ends.back());
        m_numbers = std::move(numbers);
        m_ends = std::move(ends);
        m_flat = std::move(flat);
        ++m_reorderCount;
        return;
    }

    std::vector<std::size_t> order;
    if (kind == SampleOrder::StrictlyDescending) {
        order.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            order[i] = count - 1 - i;
    } else {
        order = SampleOrder::sortedUniqueOrder(numbers);
    }

    std::vector<quint32> sortedNumbers;
    std::vector<std::size_t> sortedEnds;
    std::vector<double> sortedFlat;
    sortedNumbers.reserve(order.size());
    sortedEnds.reserve(order.size());
    sortedFlat.reserve(flat.size());
    for (std::size_t i : order) {
        const std::size_t begin = i == 0 ? 0 : ends[i - 1];
        sortedNumbers.push_back(numbers[i]);
        sortedFlat.insert(sortedFlat.end(), flat.begin() + static_cast<std::ptrdiff_t>(begin),
                          flat.begin() + static_cast<std::ptrdiff_t>(ends[i]));
        sortedEnds.push_back(sortedFlat.size());
    }
    m_numbers = std::move(sortedNumbers);
    m_ends = std::move(sortedEnds);
    m_flat = std::move(sortedFlat);
    ++m_reorderCount;
}
