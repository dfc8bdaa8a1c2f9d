#include "Data/VectorSampleStore.h"

#include "Data/SampleOrder.h"

#include <algorithm>
#include <cstring>

namespace {

bool isRawInteger(double value)
{
    if (!(value >= -2147483648.0 && value <= 2147483647.0))
        return false;
    const double back = double(qint32(value));
    return std::memcmp(&back, &value, sizeof value) == 0;
}

} // namespace

bool VectorSampleStore::fitsRaw(const double* components, int count) const
{
    if (!m_raw || (!isEmpty() && static_cast<std::size_t>(count) != m_width))
        return false;
    for (int c = 0; c < count; ++c) {
        if (!isRawInteger(components[c]))
            return false;
    }
    return true;
}

void VectorSampleStore::toGeneral()
{
    if (!m_raw)
        return;
    const std::size_t count = static_cast<std::size_t>(size());
    std::vector<double> flat(m_rawFlat.begin(), m_rawFlat.end());
    std::vector<std::size_t> ends(count);
    for (std::size_t i = 0; i < count; ++i)
        ends[i] = (i + 1) * m_width;
    std::vector<qint32>().swap(m_rawFlat);
    m_flat.swap(flat);
    m_ends.swap(ends);
    m_raw = false;
}

void VectorSampleStore::appendSample(const double* components, std::size_t n)
{
    if (fitsRaw(components, int(n))) {
        if (isEmpty())
            m_width = n;
        for (std::size_t c = 0; c < n; ++c)
            m_rawFlat.push_back(qint32(components[c]));
        return;
    }
    toGeneral();
    m_flat.insert(m_flat.end(), components, components + n);
    m_ends.push_back(m_flat.size());
}

void VectorSampleStore::placeSample(std::size_t index, bool replace, const double* components, std::size_t n)
{
    if (fitsRaw(components, int(n))) {
        const auto at = m_rawFlat.begin() + static_cast<std::ptrdiff_t>(index * m_width);
        if (replace) {
            for (std::size_t c = 0; c < n; ++c)
                at[static_cast<std::ptrdiff_t>(c)] = qint32(components[c]);
        } else {
            std::vector<qint32> raw(components, components + n);
            m_rawFlat.insert(at, raw.begin(), raw.end());
        }
        return;
    }
    toGeneral();
    const std::size_t begin = beginOf(index);
    std::ptrdiff_t delta = static_cast<std::ptrdiff_t>(n);
    if (replace) {
        const std::size_t oldEnd = m_ends[index];
        delta -= static_cast<std::ptrdiff_t>(oldEnd - begin);
        m_flat.erase(m_flat.begin() + static_cast<std::ptrdiff_t>(begin),
                     m_flat.begin() + static_cast<std::ptrdiff_t>(oldEnd));
        m_flat.insert(m_flat.begin() + static_cast<std::ptrdiff_t>(begin), components, components + n);
        m_ends[index] = begin + n;
    } else {
        m_flat.insert(m_flat.begin() + static_cast<std::ptrdiff_t>(begin), components, components + n);
        m_ends.insert(m_ends.begin() + static_cast<std::ptrdiff_t>(index), begin + n);
    }
    for (std::size_t i = index + 1; i < m_ends.size(); ++i)
        m_ends[i] = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(m_ends[i]) + delta);
}

void VectorSampleStore::insert(quint32 number, const double* components, int count)
{
    const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 0;
    if (isEmpty() || number > m_numbers.back()) {
        // The components first: whether they fit the raw form depends on
        // the samples held before this one.
        appendSample(components, n);
        m_numbers.append(number);
        return;
    }
    ++m_reorderCount;
    const int index = m_numbers.lowerBound(number);
    const bool replace = m_numbers.at(index) == number;
    placeSample(static_cast<std::size_t>(index), replace, components, n);
    if (!replace)
        m_numbers.insertAt(index, number);
}

void VectorSampleStore::insert(quint32 number, const QList<double>& components)
{
    const std::vector<double> values(components.cbegin(), components.cend());
    insert(number, values.data(), static_cast<int>(values.size()));
}

int VectorSampleStore::componentCountAt(int index) const
{
    if (m_raw)
        return static_cast<int>(m_width);
    const auto i = static_cast<std::size_t>(index);
    return static_cast<int>(m_ends[i] - beginOf(i));
}

double VectorSampleStore::componentAt(int index, int component) const
{
    const auto i = static_cast<std::size_t>(index);
    const auto c = static_cast<std::size_t>(component);
    if (m_raw)
        return double(m_rawFlat[i * m_width + c]);
    return m_flat[beginOf(i) + c];
}

const double* VectorSampleStore::componentsAt(int index) const
{
    if (!m_raw)
        return m_flat.data() + beginOf(static_cast<std::size_t>(index));
    m_scratch.resize(m_width);
    const qint32* raw = m_rawFlat.data() + static_cast<std::size_t>(index) * m_width;
    for (std::size_t c = 0; c < m_width; ++c)
        m_scratch[c] = double(raw[c]);
    return m_scratch.data();
}

QList<double> VectorSampleStore::sampleAt(int index) const
{
    QList<double> sample;
    const int count = componentCountAt(index);
    sample.reserve(count);
    for (int c = 0; c < count; ++c)
        sample.append(componentAt(index, c));
    return sample;
}

void VectorSampleStore::squeeze()
{
    m_numbers.squeeze();
    m_rawFlat.shrink_to_fit();
    m_ends.shrink_to_fit();
    m_flat.shrink_to_fit();
}

std::size_t VectorSampleStore::bytes() const
{
    return m_numbers.bytes() + m_rawFlat.capacity() * sizeof(qint32) + m_ends.capacity() * sizeof(std::size_t)
        + m_flat.capacity() * sizeof(double);
}

void VectorSampleStore::clear()
{
    m_numbers.clear();
    std::vector<qint32>().swap(m_rawFlat);
    std::vector<std::size_t>().swap(m_ends);
    std::vector<double>().swap(m_flat);
    m_raw = true;
    m_width = 0;
    m_loadingDescending = false;
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

    std::vector<std::size_t> order;
    switch (SampleOrder::classify(numbers)) {
    case SampleOrder::StrictlyAscending:
        order.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            order[i] = i;
        break;
    case SampleOrder::StrictlyDescending:
        order.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            order[i] = count - 1 - i;
        break;
    case SampleOrder::Mixed:
        order = SampleOrder::sortedUniqueOrder(numbers);
        break;
    }
    clear();
    for (std::size_t i : order) {
        const std::size_t begin = i == 0 ? 0 : ends[i - 1];
        appendSample(flat.data() + begin, ends[i] - begin);
        m_numbers.append(numbers[i]);
    }
}

void VectorSampleStore::beginRecordLoad()
{
    clear();
    m_loadingDescending = true;
}

void VectorSampleStore::addRecordEntry(quint32 number, const double* components, int count)
{
    if (m_loadingDescending) {
        const quint32 complement = ~number;
        if (isEmpty() || complement > m_numbers.back()) {
            appendSample(components, count > 0 ? static_cast<std::size_t>(count) : 0);
            m_numbers.append(complement);
            return;
        }
        finishRecordLoad();
    }
    insert(number, components, count);
}

void VectorSampleStore::reverseSamples()
{
    if (m_raw) {
        std::reverse(m_rawFlat.begin(), m_rawFlat.end());
        for (std::size_t i = 0; i + m_width <= m_rawFlat.size() && m_width > 1; i += m_width)
            std::reverse(m_rawFlat.begin() + static_cast<std::ptrdiff_t>(i),
                         m_rawFlat.begin() + static_cast<std::ptrdiff_t>(i + m_width));
        return;
    }
    std::vector<double> flat;
    std::vector<std::size_t> ends;
    flat.reserve(m_flat.size());
    ends.reserve(m_ends.size());
    for (std::size_t i = m_ends.size(); i-- > 0;) {
        flat.insert(flat.end(), m_flat.begin() + static_cast<std::ptrdiff_t>(beginOf(i)),
                    m_flat.begin() + static_cast<std::ptrdiff_t>(m_ends[i]));
        ends.push_back(flat.size());
    }
    m_flat.swap(flat);
    m_ends.swap(ends);
}

void VectorSampleStore::finishRecordLoad()
{
    if (!m_loadingDescending)
        return;
    m_loadingDescending = false;
    m_numbers.uncomplement();
    reverseSamples();
}
