#include "Data/AlignedCsvWriter.h"

#include "Data/AlignedTable.h"

#include <QByteArray>
#include <QSaveFile>

#include <charconv>
#include <cmath>

namespace {

const int kBlockSize = 1 << 20;

void appendNumber(QByteArray& out, double value)
{
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, int(result.ptr - digits));
}

} // namespace

QByteArray AlignedCsvWriter::field(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') && !bytes.contains('\r'))
        return bytes;
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

bool AlignedCsvWriter::write(AlignedTable& table, const QString& path, qint64* bytes)
{
    // Written whole or not at all: a half file would read as a shorter
    // recording.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    qint64 written = 0;
    bool ok = true;
    QByteArray block;
    block.reserve(kBlockSize + 4096);
    const auto flush = [&] {
        ok = ok && file.write(block) == block.size();
        written += block.size();
        block.clear();
    };

    block.append("time_s");
    for (const AlignedTable::Column& column : table.columns()) {
        block.append(',');
        block.append(field(column.name));
    }
    block.append('\n');

    const std::size_t columns = table.columns().size();
    table.rewind();
    while (ok && table.next()) {
        appendNumber(block, table.time());
        for (std::size_t c = 0; c < columns; ++c) {
            block.append(',');
            if (!table.has(c))
                continue;
            const double value = table.value(c);
            if (std::isfinite(value))
                appendNumber(block, value);
        }
        block.append('\n');
        if (block.size() >= kBlockSize)
            flush();
    }
    flush();
    table.rewind();
    ok = ok && file.commit();
    if (bytes != nullptr)
        *bytes = written;
    return ok;
}
