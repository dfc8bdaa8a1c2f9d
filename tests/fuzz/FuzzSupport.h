#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// Shared by every fuzz target: the application object that timers need,
// with the debug output switched off (it would only slow the fuzzer down).
void fuzzSetUp();

inline QByteArray fuzzBytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), int(size));
}
