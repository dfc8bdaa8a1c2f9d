#include "Data/AlignedMatWriter.h"

#include "Data/AlignedTable.h"

#include <QByteArray>
#include <QSet>

#include <matio.h>

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

matvar_t* doubleColumn(const char* name, std::vector<double>& values)
{
    size_t dims[2] = { values.size(), 1 };
    double none = 0;
    void* data = values.empty() ? static_cast<void*>(&none) : static_cast<void*>(values.data());
    return Mat_VarCreate(name, MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, data, 0);
}

matvar_t* text(const QString& value)
{
    QByteArray bytes = value.toUtf8();
    size_t dims[2] = { 1, static_cast<size_t>(bytes.size()) };
    return Mat_VarCreate(nullptr, MAT_C_CHAR, MAT_T_UTF8, 2, dims, bytes.data(), 0);
}

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
    const qint64 rows = table.rowCount();
    if (rows * qint64(columns + 1) * qint64(sizeof(double)) > maxBytes)
        return TooLarge;

    QStringList columnNames;
    for (const AlignedTable::Column& column : table.columns())
        columnNames.append(column.name);
    const QStringList names = fieldNames(columnNames);
    std::vector<QByteArray> fieldBytes;
    fieldBytes.emplace_back("time_s");
    for (const QString& name : names)
        fieldBytes.push_back(name.toLatin1());
    std::vector<const char*> fields;
    for (const QByteArray& name : fieldBytes)
        fields.push_back(name.constData());

    std::vector<std::vector<double>> data(columns + 1);
    for (auto& column : data)
        column.reserve(std::size_t(rows));
    table.rewind();
    while (table.next()) {
        data[0].push_back(table.time());
        for (std::size_t c = 0; c < columns; ++c)
            data[c + 1].push_back(table.has(c) ? table.value(c) : std::numeric_limits<double>::quiet_NaN());
    }
    table.rewind();

    size_t one[2] = { 1, 1 };
    Matvar aligned(Mat_VarCreateStruct("aligned", 2, one, fields.data(), unsigned(fields.size())));
    if (!aligned)
        return Failed;
    for (std::size_t f = 0; f < fields.size(); ++f) {
        matvar_t* column = doubleColumn(fields[f], data[f]);
        if (column == nullptr)
            return Failed;
        Mat_VarSetStructFieldByName(aligned.get(), fields[f], 0, column);
        std::vector<double>().swap(data[f]);
    }

    size_t cellDims[2] = { columns, 1 };
    Matvar names2(Mat_VarCreate("column_names", MAT_C_CELL, MAT_T_CELL, 2, cellDims, nullptr, 0));
    if (!names2)
        return Failed;
    for (std::size_t c = 0; c < columns; ++c)
        Mat_VarSetCell(names2.get(), int(c), text(table.columns()[c].name));

    static const char kHeader[] = "MATLAB 5.0 MAT-file, Created by: Korvex";
    mat_t* file = Mat_CreateVer(path.toLocal8Bit().constData(), kHeader, MAT_FT_MAT5);
    if (file == nullptr)
        return Failed;
    bool ok = Mat_VarWrite(file, aligned.get(), MAT_COMPRESSION_NONE) == 0;
    ok = Mat_VarWrite(file, names2.get(), MAT_COMPRESSION_NONE) == 0 && ok;
    ok = Mat_Close(file) == 0 && ok;
    return ok ? Written : Failed;
}
