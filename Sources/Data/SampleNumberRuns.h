#pragma once

#include <QtGlobal>

#include <cstddef>
#include <vector>

// The ascending sample numbers of one channel, kept as runs of evenly spaced
// numbers (first, step, count) instead of one number per sample. A device
// counts its samples without gaps, and a down-sampled channel carries every
// n-th number, so an hour of a channel is usually one run; a lost packet or
// a late page starts another. Looking a number up by index is a binary
// search over the runs, except for the run last looked at, which answers at
// once: walking a channel in order costs no search.
class SampleNumberRuns
{
public:
    struct Run {
        quint32 first; // the lowest number of the run
        quint32 step; // 0 while the run holds one number
        quint32 count;
        quint32 start; // index of the run's first number
        quint32 last() const { return first + step * (count - 1); }
    };

    int size() const { return static_cast<int>(m_size); }
    bool isEmpty() const { return m_size == 0; }

    quint32 at(int index) const
    {
        const auto i = static_cast<quint32>(index);
        const Run& hinted = m_runs[m_hint];
        if (i - hinted.start < hinted.count)
            return hinted.first + hinted.step * (i - hinted.start);
        return lookUp(i);
    }
    quint32 back() const { return m_runs.back().last(); }

    // Index of the first number not below `number` (size() when none is).
    int lowerBound(quint32 number) const;
    // Index of `number`, or -1.
    int indexOf(quint32 number) const;

    // `number` above every number held.
    void append(quint32 number);
    // `number` not held yet, `index` its place in the ascending order.
    void insertAt(int index, quint32 number);

    void clear();
    void squeeze() { m_runs.shrink_to_fit(); }
    std::size_t bytes() const { return m_runs.capacity() * sizeof(Run); }
    const std::vector<Run>& runs() const { return m_runs; }
    // True when `other` holds the same numbers in the same runs (runs are
    // built the same way from the same numbers).
    bool sameNumbers(const SampleNumberRuns& other) const;

    // For a reader of highest-first records: numbers appended as their
    // complement (~number) come in ascending order; this turns the runs back
    // into the ascending runs of the numbers themselves.
    void uncomplement();

    // Writes `count` numbers from `index` on into `out` as doubles.
    void copyTo(int index, int count, double* out) const;

private:
    quint32 lookUp(quint32 index) const;
    std::size_t runOf(quint32 index) const;
    // Joins run i and run i + 1 when together they are evenly spaced.
    bool tryMerge(std::size_t i);

    std::vector<Run> m_runs;
    quint32 m_size = 0;
    mutable std::size_t m_hint = 0;
};
