#include "Data/ScalarSampleStore.h"

#include "Data/SampleOrder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

template <typename T>
void release(std::vector<T>& values)
{
    std::vector<T>().swap(values);
}

} // namespace

void ScalarSampleStore::setRawFormat(int width, bool isSigned, double scale)
{
    Encoding wanted = Doubles;
    if (std::isfinite(scale) && scale != 0.0) {
        if (width == 1 || width == 2)
            wanted = isSigned ? Int16 : UInt16;
        else if (width == 4)
            wanted = isSigned ? Int32 : UInt32;
    }
    if (isEmpty()) {
        m_wanted = wanted;
        m_encoding = wanted;
        m_scale = scale;
        setLimits();
        release(m_raw16);
        release(m_raw32);
        release(m_doubles);
        return;
    }
    if (wanted == m_wanted && sameBits(scale, m_scale))
        return;
    // Samples stored under the old format keep their values exactly.
    toDoubles();
    m_wanted = wanted;
    m_scale = scale;
}

void ScalarSampleStore::setLimits()
{
    m_inverse = 1.0 / m_scale;
    switch (m_encoding) {
    case Int16:
        m_low = -32768;
        m_high = 32767;
        break;
    case UInt16:
        m_low = 0;
        m_high = 65535;
        break;
    case Int32:
        m_low = -2147483647LL - 1;
        m_high = 2147483647LL;
        break;
    case UInt32:
        m_low = 0;
        m_high = 4294967295LL;
        break;
    case Doubles:
        m_low = 1;
        m_high = 0;
        break;
    }
}

bool ScalarSampleStore::encode(double value, qint32& raw) const
{
    // The integer nearest to value / scale is the only candidate; it counts
    // only if it reads back as exactly this value.
    const double x = value * m_inverse;
    if (!(x >= double(m_low) - 1.0 && x <= double(m_high) + 1.0))
        return false;
    const auto candidate = static_cast<qint64>(x < 0 ? x - 0.5 : x + 0.5);
    if (candidate < m_low || candidate > m_high)
        return false;
    raw = static_cast<qint32>(static_cast<quint32>(candidate));
    return sameBits(double(candidate) * m_scale, value);
}

void ScalarSampleStore::toDoubles()
{
    if (m_encoding == Doubles)
        return;
    const std::size_t count = m_encoding == Int16 || m_encoding == UInt16 ? m_raw16.size() : m_raw32.size();
    std::vector<double> doubles(count);
    copyValues(0, static_cast<int>(count), doubles.data());
    doubles.reserve(std::max(count, m_encoding == Int16 || m_encoding == UInt16 ? m_raw16.capacity() : m_raw32.capacity()));
    release(m_raw16);
    release(m_raw32);
    m_doubles.swap(doubles);
    m_encoding = Doubles;
    setLimits();
}

void ScalarSampleStore::appendValue(double value)
{
    qint32 raw = 0;
    if (encode(value, raw)) {
        if (m_encoding == Int16 || m_encoding == UInt16)
            m_raw16.push_back(qint16(raw));
        else
            m_raw32.push_back(raw);
        return;
    }
    toDoubles();
    m_doubles.push_back(value);
}

void ScalarSampleStore::insertValue(std::size_t index, double value)
{
    const auto at = static_cast<std::ptrdiff_t>(index);
    qint32 raw = 0;
    if (encode(value, raw)) {
        if (m_encoding == Int16 || m_encoding == UInt16)
            m_raw16.insert(m_raw16.begin() + at, qint16(raw));
        else
            m_raw32.insert(m_raw32.begin() + at, raw);
        return;
    }
    toDoubles();
    m_doubles.insert(m_doubles.begin() + at, value);
}

void ScalarSampleStore::setValue(std::size_t index, double value)
{
    qint32 raw = 0;
    if (encode(value, raw)) {
        if (m_encoding == Int16 || m_encoding == UInt16)
            m_raw16[index] = qint16(raw);
        else
            m_raw32[index] = raw;
        return;
    }
    toDoubles();
    m_doubles[index] = value;
}

void ScalarSampleStore::insert(quint32 number, double value)
{
    if (m_numbers.isEmpty() || number > m_numbers.back()) {
        m_numbers.append(number);
        appendValue(value);
        return;
    }
    const int index = m_numbers.lowerBound(number);
    ++m_reorderCount;
    if (m_numbers.at(index) == number) {
        setValue(static_cast<std::size_t>(index), value);
        return;
    }
    m_numbers.insertAt(index, number);
    insertValue(static_cast<std::size_t>(index), value);
}

void ScalarSampleStore::copyValues(int index, int count, double* out) const
{
    if (count <= 0)
        return;
    const auto begin = static_cast<std::size_t>(index);
    const auto end = begin + static_cast<std::size_t>(count);
    const double scale = m_scale;
    switch (m_encoding) {
    case Int16:
        for (std::size_t i = begin; i < end; ++i)
            *out++ = double(m_raw16[i]) * scale;
        break;
    case UInt16:
        for (std::size_t i = begin; i < end; ++i)
            *out++ = double(quint16(m_raw16[i])) * scale;
        break;
    case Int32:
        for (std::size_t i = begin; i < end; ++i)
            *out++ = double(m_raw32[i]) * scale;
        break;
    case UInt32:
        for (std::size_t i = begin; i < end; ++i)
            *out++ = double(quint32(m_raw32[i])) * scale;
        break;
    case Doubles:
        std::copy(m_doubles.begin() + static_cast<std::ptrdiff_t>(begin),
                  m_doubles.begin() + static_cast<std::ptrdiff_t>(end), out);
        break;
    }
}

void ScalarSampleStore::clear()
{
    m_numbers.clear();
    release(m_raw16);
    release(m_raw32);
    release(m_doubles);
    m_encoding = m_wanted;
    setLimits();
    m_loadingDescending = false;
    ++m_reorderCount;
}

void ScalarSampleStore::squeeze()
{
    m_numbers.squeeze();
    m_raw16.shrink_to_fit();
    m_raw32.shrink_to_fit();
    m_doubles.shrink_to_fit();
}

std::size_t ScalarSampleStore::bytes() const
{
    return m_numbers.bytes() + m_raw16.capacity() * sizeof(qint16) + m_raw32.capacity() * sizeof(qint32)
        + m_doubles.capacity() * sizeof(double);
}

void ScalarSampleStore::reserve(int count)
{
    if (count <= 0)
        return;
    const auto n = static_cast<std::size_t>(count);
    switch (m_encoding) {
    case Int16:
    case UInt16:
        m_raw16.reserve(n);
        break;
    case Int32:
    case UInt32:
        m_raw32.reserve(n);
        break;
    case Doubles:
        m_doubles.reserve(n);
        break;
    }
}

void ScalarSampleStore::assign(std::vector<quint32>&& numbers, std::vector<double>&& values)
{
    const std::size_t count = std::min(numbers.size(), values.size());
    numbers.resize(count);
    values.resize(count);
    clear();
    reserve(static_cast<int>(count));
    switch (SampleOrder::classify(numbers)) {
    case SampleOrder::StrictlyAscending:
        for (std::size_t i = 0; i < count; ++i) {
            m_numbers.append(numbers[i]);
            appendValue(values[i]);
        }
        break;
    case SampleOrder::StrictlyDescending:
        for (std::size_t i = count; i-- > 0;) {
            m_numbers.append(numbers[i]);
            appendValue(values[i]);
        }
        break;
    case SampleOrder::Mixed:
        for (std::size_t i : SampleOrder::sortedUniqueOrder(numbers)) {
            m_numbers.append(numbers[i]);
            appendValue(values[i]);
        }
        break;
    }
}

void ScalarSampleStore::beginRecordLoad(quint32 count)
{
    clear();
    reserve(static_cast<int>(qMin<quint32>(count, 0x7FFFFFFF)));
    m_loadingDescending = true;
}

void ScalarSampleStore::addRecordEntry(quint32 number, double value)
{
    if (m_loadingDescending) {
        // Highest first: the complements ascend, and append as they come.
        const quint32 complement = ~number;
        if (m_numbers.isEmpty() || complement > m_numbers.back()) {
            m_numbers.append(complement);
            appendValue(value);
            return;
        }
        // Not the order a writer gives; what is read so far is put in order
        // and the rest is placed one by one, later entries winning.
        finishRecordLoad();
    }
    insert(number, value);
}

void ScalarSampleStore::finishRecordLoad()
{
    if (!m_loadingDescending)
        return;
    m_loadingDescending = false;
    m_numbers.uncomplement();
    std::reverse(m_raw16.begin(), m_raw16.end());
    std::reverse(m_raw32.begin(), m_raw32.end());
    std::reverse(m_doubles.begin(), m_doubles.end());
}
