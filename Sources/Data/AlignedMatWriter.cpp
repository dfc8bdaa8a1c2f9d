#include "Data/AlignedMatWriter.h"

#include "Data/AlignedTable.h"

#include <QByteArray>
#include <QFile>
#include <QSet>

#include <matio.h>

#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

const int kMaxNameLength = 63;

// "4b560011:Acceleration X [g]" -> "s4b560011_Acceleration_X".
QString validName(const QString& base)
{
    QString name;
    bool underscore = false;
    for (const QChar ch : base) {
        const bool plain = ch.unicode() < 128 && ch.isLetterOrNumber();
        if (plain) {
            name += ch;
            underscore = false;
        } else if (!underscore && !name.isEmpty()) {
            name += QLatin1Char('_');
            underscore = true;
        }
    }
    while (name.endsWith(QLatin1Char('_')))
        name.chop(1);
    return name;
}

matvar_t* text(const QString& value)
{
    QByteArray bytes = value.toUtf8();
    size_t dims[2] = { 1, static_cast<size_t>(bytes.size()) };
    return Mat_VarCreate(nullptr, MAT_C_CHAR, MAT_T_UTF8, 2, dims, bytes.data(), 0);
}

// The MAT 5 data types and array classes the struct is written with.
enum : quint32 { miINT8 = 1, miINT32 = 5, miUINT32 = 6, miDOUBLE = 9, miMATRIX = 14 };
enum : quint32 { mxSTRUCT_CLASS = 2, mxDOUBLE_CLASS = 6 };
const int kFieldNameBytes = kMaxNameLength + 1;
const std::size_t kChunkRows = 8192;

// Writes MAT 5 data elements in the host's byte order, which matio's
// header has declared; every element ends on an 8-byte boundary.
class ElementWriter
{
public:
    explicit ElementWriter(QFile& out)
        : m_out(out)
    {
    }
    bool ok() const { return m_ok; }
    void bytes(const void* data, qint64 size)
    {
        if (m_ok && size > 0)
            m_ok = m_out.write(static_cast<const char*>(data), size) == size;
    }
    void word(quint32 value) { bytes(&value, sizeof(value)); }
    void tag(quint32 type, quint32 size)
    {
        word(type);
        word(size);
    }
    void arrayFlags(quint32 arrayClass)
    {
        tag(miUINT32, 8);
        word(arrayClass);
        word(0);
    }
    void dimensions(quint32 rows, quint32 columns)
    {
        tag(miINT32, 8);
        word(rows);
        word(columns);
    }
    // At most 8 characters here: "aligned", or none for a field.
    void name(const char* text)
    {
        const quint32 size = quint32(std::strlen(text));
        tag(miINT8, size);
        char padded[8] = {};
        std::memcpy(padded, text, size);
        if (size > 0)
            bytes(padded, 8);
    }

private:
    QFile& m_out;
    bool m_ok = true;
};

struct MatvarFree {
    void operator()(matvar_t* variable) const { Mat_VarFree(variable); }
};
using Matvar = std::unique_ptr<matvar_t, MatvarFree>;

} // namespace

QStringList AlignedMatWriter::fieldNames(const QStringList& columnNames)
{
    QStringList names;
    QSet<QString> taken { QStringLiteral("time_s") };
    for (const QString& columnName : columnNames) {
        // Without the unit: it is in the column's full name.
        QString base = columnName;
        const int unitAt = base.lastIndexOf(QStringLiteral(" ["));
        if (unitAt > 0)
            base.truncate(unitAt);
        QString name = QStringLiteral("s") + validName(base);
        name.truncate(kMaxNameLength);
        QString unique = name;
        for (int n = 2; taken.contains(unique); ++n) {
            const QString suffix = QLatin1Char('_') + QString::number(n);
            unique = name.left(kMaxNameLength - suffix.size()) + suffix;
        }
        taken.insert(unique);
        names.append(unique);
    }
    return names;
}

AlignedMatWriter::Outcome AlignedMatWriter::write(AlignedTable& table, const QString& path, qint64 maxBytes)
{
    const std::size_t columns = table.columns().size();
    const std::vector<quint32> rows = table.rowNumbers();
    const qint64 fieldCount = qint64(columns) + 1;
    const qint64 fieldBytes = 48 + qint64(rows.size()) * qint64(sizeof(double));
    const qint64 structBytes = 16 + 16 + 16 + 8 + 8 + fieldCount * kFieldNameBytes + fieldCount * (8 + fieldBytes);
    if (structBytes > qMin<qint64>(maxBytes, kMaxStructBytes) || rows.size() > std::size_t(std::numeric_limits<qint32>::max()))
        return TooLarge;

    QStringList columnNames;
    for (const AlignedTable::Column& column : table.columns())
        columnNames.append(column.name);
    const QStringList names = fieldNames(columnNames);

    // Written beside the file and put in its place once whole, so that a
    // failure leaves no half file behind.
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    size_t cellDims[2] = { columns, 1 };
    Matvar cell(Mat_VarCreate("column_names", MAT_C_CELL, MAT_T_CELL, 2, cellDims, nullptr, 0));
    if (!cell)
        return Failed;
    for (std::size_t c = 0; c < columns; ++c)
        Mat_VarSetCell(cell.get(), int(c), text(table.columns()[c].name));
    static const char kHeader[] = "MATLAB 5.0 MAT-file, Created by: Korvex";
    mat_t* file = Mat_CreateVer(part.toLocal8Bit().constData(), kHeader, MAT_FT_MAT5);
    if (file == nullptr)
        return Failed;
    bool ok = Mat_VarWrite(file, cell.get(), MAT_COMPRESSION_NONE) == 0;
    ok = Mat_Close(file) == 0 && ok;

    // The struct is streamed a column at a time after the names: matio
    // writes a struct only whole, and a training hour would not fit in
    // memory as one.
    QFile out(part);
    ok = ok && out.open(QIODevice::Append);
    if (ok) {
        ElementWriter element(out);
        element.tag(miMATRIX, quint32(structBytes));
        element.arrayFlags(mxSTRUCT_CLASS);
        element.dimensions(1, 1);
        element.name("aligned");
        // The length of every field name, as a small element: type and size
        // in one word, the value in the next.
        element.word(miINT32 | (4u << 16));
        element.word(quint32(kFieldNameBytes));
        QByteArray fieldNameBlock(int(fieldCount * kFieldNameBytes), '\0');
        QStringList fields = names;
        fields.prepend(QStringLiteral("time_s"));
        for (int f = 0; f < fields.size(); ++f) {
            const QByteArray name = fields.at(f).toLatin1();
            std::memcpy(fieldNameBlock.data() + f * kFieldNameBytes, name.constData(), std::size_t(name.size()));
        }
        element.tag(miINT8, quint32(fieldNameBlock.size()));
        element.bytes(fieldNameBlock.constData(), fieldNameBlock.size());

        std::vector<double> chunk;
        chunk.reserve(kChunkRows);
        for (qint64 f = 0; f < fieldCount && element.ok(); ++f) {
            element.tag(miMATRIX, quint32(fieldBytes));
            element.arrayFlags(mxDOUBLE_CLASS);
            element.dimensions(quint32(rows.size()), 1);
            element.name("");
            element.tag(miDOUBLE, quint32(rows.size() * sizeof(double)));
            const std::size_t column = std::size_t(f - 1);
            const int samples = f == 0 ? 0 : table.sampleCount(column);
            int index = 0;
            for (std::size_t r = 0; r < rows.size(); ++r) {
                if (f == 0) {
                    chunk.push_back(table.timeOf(rows[r]));
                } else {
                    while (index < samples && table.sampleNumber(column, index) < rows[r])
                        ++index;
                    const bool hit = index < samples && table.sampleNumber(column, index) == rows[r];
                    chunk.push_back(table.sampleValue(column, hit ? index++ : -1));
                }
                if (chunk.size() == kChunkRows || r + 1 == rows.size()) {
                    element.bytes(chunk.data(), qint64(chunk.size() * sizeof(double)));
                    chunk.clear();
                }
            }
        }
        ok = element.ok();
        out.close();
        ok = ok && out.error() == QFileDevice::NoError;
    }
    if (ok) {
        QFile::remove(path);
        ok = QFile::rename(part, path);
    }
    if (!ok)
        QFile::remove(part);
    return ok ? Written : Failed;
}
