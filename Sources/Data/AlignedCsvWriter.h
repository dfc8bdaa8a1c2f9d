#pragma once

#include <QString>
#include <QtGlobal>

class AlignedTable;

// Writes an aligned table as CSV that a spreadsheet and pandas open without
// options: UTF-8, comma separated, decimal point, a header line of column
// names ("time_s" first), one line per row, an empty field where a column
// has no sample. Values are written with as many digits as it takes to read
// back the same number, and no more.
class AlignedCsvWriter
{
public:
    // False when the file could not be written; `bytes` (if given) gets the
    // size written.
    static bool write(AlignedTable& table, const QString& path, qint64* bytes = nullptr);

    // A header field, quoted when it holds a separator, a quote or a line end.
    static QByteArray field(const QString& text);
};
