#include "Data/SampleNumberRuns.h"

#include <algorithm>

std::size_t SampleNumberRuns::runOf(quint32 index) const
{
    // The last run that starts at or before `index`.
    const auto it = std::upper_bound(m_runs.begin(), m_runs.end(), index,
                                     [](quint32 i, const Run& run) { return i < run.start; });
    return static_cast<std::size_t>(it - m_runs.begin()) - 1;
}

quint32 SampleNumberRuns::lookUp(quint32 index) const
{
    std::size_t r = m_hint + 1;
    if (r >= m_runs.size() || index - m_runs[r].start >= m_runs[r].count)
        r = runOf(index);
    m_hint = r;
    const Run& run = m_runs[r];
    return run.first + run.step * (index - run.start);
}

int SampleNumberRuns::lowerBound(quint32 number) const
{
    // The first run whose last number is not below `number`.
    const auto it = std::lower_bound(m_runs.begin(), m_runs.end(), number,
                                     [](const Run& run, quint32 n) { return run.last() < n; });
    if (it == m_runs.end())
        return size();
    if (number <= it->first)
        return static_cast<int>(it->start);
    const quint32 offset = number - it->first;
    const quint32 k = offset / it->step + (offset % it->step != 0 ? 1 : 0);
    return static_cast<int>(it->start + k);
}

int SampleNumberRuns::indexOf(quint32 number) const
{
    const int index = lowerBound(number);
    if (index >= size() || at(index) != number)
        return -1;
    return index;
}

void SampleNumberRuns::append(quint32 number)
{
    if (!m_runs.empty()) {
        Run& last = m_runs.back();
        if (last.count == 1) {
            last.step = number - last.first;
            last.count = 2;
            ++m_size;
            return;
        }
        if (number - last.last() == last.step) {
            ++last.count;
            ++m_size;
            return;
        }
    }
    m_runs.push_back(Run { number, 0, 1, m_size });
    ++m_size;
}

bool SampleNumberRuns::tryMerge(std::size_t i)
{
    if (i + 1 >= m_runs.size())
        return false;
    Run& a = m_runs[i];
    const Run& b = m_runs[i + 1];
    const quint32 gap = b.first - a.last();
    quint32 step = 0;
    if (a.count == 1 && b.count == 1)
        step = gap;
    else if (a.count == 1)
        step = b.step == gap ? gap : 0;
    else if (b.count == 1)
        step = a.step == gap ? gap : 0;
    else
        step = a.step == gap && b.step == gap ? gap : 0;
    if (step == 0)
        return false;
    a.step = step;
    a.count += b.count;
    m_runs.erase(m_runs.begin() + static_cast<std::ptrdiff_t>(i + 1));
    return true;
}

void SampleNumberRuns::insertAt(int at, quint32 number)
{
    const auto index = static_cast<quint32>(at);
    if (index >= m_size) {
        append(number);
        return;
    }
    m_hint = 0;
    std::size_t r = runOf(index);
    std::size_t placed = 0;
    if (index == m_runs[r].start) {
        // Before run r, between it and the run before it.
        m_runs.insert(m_runs.begin() + static_cast<std::ptrdiff_t>(r), Run { number, 0, 1, index });
        placed = r;
    } else {
        // Inside run r, between two of its numbers: split it there.
        Run& run = m_runs[r];
        const quint32 before = index - run.start;
        const Run tail { run.first + run.step * before, run.step, run.count - before, index };
        run.count = before;
        if (run.count == 1)
            run.step = 0;
        Run tailRun = tail;
        if (tailRun.count == 1)
            tailRun.step = 0;
        const auto at1 = m_runs.begin() + static_cast<std::ptrdiff_t>(r + 1);
        m_runs.insert(at1, { Run { number, 0, 1, index }, tailRun });
        placed = r + 1;
    }
    ++m_size;
    for (std::size_t i = placed + 1; i < m_runs.size(); ++i)
        ++m_runs[i].start;
    // The new number may close a gap: join it with its neighbours.
    tryMerge(placed);
    if (placed > 0)
        tryMerge(placed - 1);
}

void SampleNumberRuns::clear()
{
    std::vector<Run>().swap(m_runs);
    m_size = 0;
    m_hint = 0;
}

void SampleNumberRuns::uncomplement()
{
    std::reverse(m_runs.begin(), m_runs.end());
    quint32 start = 0;
    for (Run& run : m_runs) {
        // The complements ran from `first` up; the numbers run down to the
        // complement of the run's last complement.
        run.first = ~run.last();
        run.start = start;
        start += run.count;
    }
    m_hint = 0;
}

void SampleNumberRuns::copyTo(int index, int count, double* out) const
{
    if (count <= 0)
        return;
    auto i = static_cast<quint32>(index);
    const quint32 end = i + static_cast<quint32>(count);
    std::size_t r = runOf(i);
    while (i < end) {
        const Run& run = m_runs[r++];
        const quint32 runEnd = std::min(end, run.start + run.count);
        for (quint32 k = i - run.start; i < runEnd; ++i, ++k)
            *out++ = double(run.first + run.step * k);
    }
}

bool SampleNumberRuns::sameNumbers(const SampleNumberRuns& other) const
{
    if (m_size != other.m_size || m_runs.size() != other.m_runs.size())
        return false;
    for (std::size_t i = 0; i < m_runs.size(); ++i) {
        const Run& a = m_runs[i];
        const Run& b = other.m_runs[i];
        if (a.first != b.first || a.step != b.step || a.count != b.count)
            return false;
    }
    return true;
}
