#pragma once

#include <QString>

class Track;

// Writes one track as CSV text: no header, "\r\n" line ends, numbers as a
// text stream writes them in the C locale (doubles with 6 significant
// digits, the shorter of fixed and scientific). Scalar tracks give
// "number,value" per sample; vector tracks "number," followed by each
// component value and ","; other kinds an empty file. Lines are collected
// in blocks, never flushed one by one.
class CsvTrackWriter
{
public:
    // False when the file cannot be opened or written.
    static bool write(const Track& track, const QString& path);
};
