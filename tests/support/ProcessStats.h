#pragma once

#include <QtGlobal>

// What this process holds right now, read from /proc: for checks that a
// long run gives back what it took.
namespace ProcessStats {

// Open file descriptors.
int openFileCount();
// Resident memory in bytes.
qint64 residentBytes();
// The most resident memory the process has held so far, in bytes.
qint64 peakResidentBytes();
// The processor time (user and system, every thread) a process has used so
// far, in seconds: this one for pid 0. -1 when it cannot be read.
double cpuSeconds(qint64 pid = 0);

} // namespace ProcessStats
