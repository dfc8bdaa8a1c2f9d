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
// A MAT struct is written whole, so the table is held in memory while it is
// written. A table larger than `maxBytes` is not written (a training hour
// on four sensors would need gigabytes); the aligned CSV has it all.
class AlignedMatWriter
{
public:
    static constexpr qint64 kDefaultMaxBytes = qint64(512) << 20;

    enum Outcome { Written, Failed, TooLarge };
    static Outcome write(AlignedTable& table, const QString& path, qint64 maxBytes = kDefaultMaxBytes);

    // The struct field names of the columns, in order: letters, digits and
    // underscores, a letter first, at most 63 characters, none twice and
    // none "time_s".
    static QStringList fieldNames(const QStringList& columnNames);
};
