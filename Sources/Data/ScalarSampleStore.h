#pragma once

#include "Data/SampleNumberRuns.h"

#include <QtGlobal>

#include <cstddef>
#include <iterator>
#include <vector>

// Samples of one scalar channel, keyed by the device's sample number: at most
// one value per number, kept in ascending number order.
//
// An hour at 1 kHz is millions of samples per channel, so the store keeps
// what the sensor sent rather than what it means: the raw integers of the
// channel's width (16 bits for widths 1 and 2, 32 bits for width 4) with the
// scale factor applied on read, and the sample numbers as runs of evenly
// spaced numbers. A value is taken as raw only when scaling the integer back
// gives exactly the same double; any other value (a post-processed one, a
// processor's output, an imported series) turns the store into plain doubles,
// so a read always returns the value that was stored, bit for bit.
//
// Samples nearly always arrive in increasing order, so an append is
// amortised O(1); an out-of-order number is placed by binary search.
class ScalarSampleStore
{
public:
    enum Encoding { Doubles, Int16, UInt16, Int32, UInt32 };

    // Random-access views of the numbers and the values, for code that walks
    // or searches the store like an array. Neither copies anything.
    template <typename T, typename Store, T (Store::*Get)(int) const>
    class View
    {
    public:
        class const_iterator
        {
        public:
            using iterator_category = std::random_access_iterator_tag;
            using value_type = T;
            using difference_type = std::ptrdiff_t;
            using pointer = const T*;
            using reference = T;

            const_iterator() = default;
            const_iterator(const Store* store, difference_type index)
                : m_store(store)
                , m_index(index)
            {
            }
            T operator*() const { return (m_store->*Get)(int(m_index)); }
            T operator[](difference_type n) const { return (m_store->*Get)(int(m_index + n)); }
            const_iterator& operator++() { ++m_index; return *this; }
            const_iterator operator++(int) { const_iterator old = *this; ++m_index; return old; }
            const_iterator& operator--() { --m_index; return *this; }
            const_iterator operator--(int) { const_iterator old = *this; --m_index; return old; }
            const_iterator& operator+=(difference_type n) { m_index += n; return *this; }
            const_iterator& operator-=(difference_type n) { m_index -= n; return *this; }
            const_iterator operator+(difference_type n) const { return const_iterator(m_store, m_index + n); }
            friend const_iterator operator+(difference_type n, const const_iterator& it) { return it + n; }
            const_iterator operator-(difference_type n) const { return const_iterator(m_store, m_index - n); }
            difference_type operator-(const const_iterator& other) const { return m_index - other.m_index; }
            bool operator==(const const_iterator& other) const { return m_index == other.m_index; }
            bool operator!=(const const_iterator& other) const { return m_index != other.m_index; }
            bool operator<(const const_iterator& other) const { return m_index < other.m_index; }
            bool operator>(const const_iterator& other) const { return m_index > other.m_index; }
            bool operator<=(const const_iterator& other) const { return m_index <= other.m_index; }
            bool operator>=(const const_iterator& other) const { return m_index >= other.m_index; }

        private:
            const Store* m_store = nullptr;
            difference_type m_index = 0;
        };
        using iterator = const_iterator;

        explicit View(const Store* store)
            : m_store(store)
        {
        }
        std::size_t size() const { return static_cast<std::size_t>(m_store->size()); }
        bool empty() const { return m_store->size() == 0; }
        T operator[](std::size_t index) const { return (m_store->*Get)(int(index)); }
        T front() const { return (*this)[0]; }
        T back() const { return (*this)[size() - 1]; }
        const_iterator begin() const { return const_iterator(m_store, 0); }
        const_iterator end() const { return const_iterator(m_store, std::ptrdiff_t(size())); }
        const_iterator cbegin() const { return begin(); }
        const_iterator cend() const { return end(); }

    private:
        const Store* m_store;
    };

    int size() const { return m_numbers.size(); }
    bool isEmpty() const { return m_numbers.isEmpty(); }

    // How values are kept from now on: raw integers of `width` bytes
    // (signed or not) times `scale`, where the width allows it; doubles
    // otherwise. A store that already holds samples in another form keeps
    // them as doubles, so nothing stored changes.
    void setRawFormat(int width, bool isSigned, double scale);
    Encoding encoding() const { return m_encoding; }

    // Stores `value` under `number`, replacing a value stored earlier under it.
    void insert(quint32 number, double value);

    quint32 numberAt(int index) const { return m_numbers.at(index); }
    double valueAt(int index) const
    {
        const auto i = static_cast<std::size_t>(index);
        switch (m_encoding) {
        case Int16:
            return double(m_raw16[i]) * m_scale;
        case UInt16:
            return double(quint16(m_raw16[i])) * m_scale;
        case Int32:
            return double(m_raw32[i]) * m_scale;
        case UInt32:
            return double(quint32(m_raw32[i])) * m_scale;
        case Doubles:
            break;
        }
        return m_doubles[i];
    }
    using NumberView = View<quint32, ScalarSampleStore, &ScalarSampleStore::numberAt>;
    using ValueView = View<double, ScalarSampleStore, &ScalarSampleStore::valueAt>;
    NumberView numbers() const { return NumberView(this); }
    ValueView values() const { return ValueView(this); }

    // Index of `number`, or -1.
    int indexOf(quint32 number) const { return m_numbers.indexOf(number); }
    // Index of the first number not below `number` (size() when none is).
    int lowerBound(quint32 number) const { return m_numbers.lowerBound(number); }

    // Writes `count` numbers (values) from `index` on into `out`, as doubles.
    void copyNumbers(int index, int count, double* out) const { m_numbers.copyTo(index, count, out); }
    void copyValues(int index, int count, double* out) const;
    // Calls `f(value)` for `count` values from `index` on, in order.
    template <typename F>
    void forEachValue(int index, int count, F f) const
    {
        const auto begin = static_cast<std::size_t>(index < 0 ? 0 : index);
        const std::size_t end = begin + static_cast<std::size_t>(count < 0 ? 0 : count);
        const double scale = m_scale;
        switch (m_encoding) {
        case Int16:
            for (std::size_t i = begin; i < end; ++i)
                f(double(m_raw16[i]) * scale);
            break;
        case UInt16:
            for (std::size_t i = begin; i < end; ++i)
                f(double(quint16(m_raw16[i])) * scale);
            break;
        case Int32:
            for (std::size_t i = begin; i < end; ++i)
                f(double(m_raw32[i]) * scale);
            break;
        case UInt32:
            for (std::size_t i = begin; i < end; ++i)
                f(double(quint32(m_raw32[i])) * scale);
            break;
        case Doubles:
            for (std::size_t i = begin; i < end; ++i)
                f(m_doubles[i]);
            break;
        }
    }

    void clear();
    void reserve(int count);
    // Gives back the room kept for further appends, once a channel is
    // complete (an upload done): a store grown by appends holds up to
    // twice what it needs.
    void squeeze();
    // What the store holds on the heap, room for further samples included.
    std::size_t bytes() const;
    const SampleNumberRuns& numberRuns() const { return m_numbers; }

    // Replaces the content with `numbers`/`values` of equal length in any
    // order; repeated numbers keep the value that comes last.
    void assign(std::vector<quint32>&& numbers, std::vector<double>&& values);

    // Filling the store from a record, which lists samples from the highest
    // number down, without an intermediate copy of the channel: begin with
    // the record's count, add each entry in record order, then finish. The
    // entries may come in any order; repeated numbers keep the last one.
    void beginRecordLoad(quint32 count);
    void addRecordEntry(quint32 number, double value);
    void finishRecordLoad();

    // Counts every change other than an append at the end, so that views
    // built from the store can tell whether extending them is enough.
    quint64 reorderCount() const { return m_reorderCount; }

private:
    // The raw integer that reads back as exactly `value`.
    bool encode(double value, qint32& raw) const;
    // The range of raw integers of the current encoding (empty for doubles).
    void setLimits();
    void appendValue(double value);
    void insertValue(std::size_t index, double value);
    void setValue(std::size_t index, double value);
    void toDoubles();

    SampleNumberRuns m_numbers;
    Encoding m_encoding = Doubles;
    // What setRawFormat asked for; an empty store starts over in it.
    Encoding m_wanted = Doubles;
    double m_scale = 1.0;
    double m_inverse = 1.0;
    qint64 m_low = 1;
    qint64 m_high = 0;
    std::vector<qint16> m_raw16;
    std::vector<qint32> m_raw32;
    std::vector<double> m_doubles;
    quint64 m_reorderCount = 0;
    // While a record is read: entries still in strictly descending order.
    bool m_loadingDescending = false;
};
