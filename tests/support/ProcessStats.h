#pragma once

#include <QtGlobal>

// What this process holds right now, read from /proc: for checks that a
// long run gives back what it took.
namespace ProcessStats {

// Open file descriptors.
int openFileCount();
// Resident memory in bytes.
qint64 residentBytes();

} // namespace ProcessStats
