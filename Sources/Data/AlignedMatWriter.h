#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

class AlignedTable;

// Writes an aligned table as a MAT file that MATLAB, Octave and scipy read:
// a struct "aligned" with a column vector "time_s" and one column vector per
// table column (NaN where it has no sample), each field named after its
// column, made a valid name; beside it a cell array "column_names" with the
// columns' full names in the same order.
//
// The struct is written a column at a time, so a training hour takes no
// more memory than a sprint. A MAT 5 file says a variable's size in 32 bits:
// a table whose struct would be larger than that (or than `maxBytes`) is not
// written; the aligned CSV has it all.
class AlignedMatWriter
{
public:
    static constexpr qint64 kMaxStructBytes = qint64(0xFFFFFFF0);
    static constexpr qint64 kDefaultMaxBytes = kMaxStructBytes;

    enum Outcome { Written, Failed, TooLarge };
    static Outcome write(AlignedTable& table, const QString& path, qint64 maxBytes = kDefaultMaxBytes);

    // The struct field names of the columns, in order: letters, digits and
    // underscores, a letter first, at most 63 characters, none twice and
    // none "time_s".
    static QStringList fieldNames(const QStringList& columnNames);
};
