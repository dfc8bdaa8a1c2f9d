#include "Data/MatlabExporter.h"

#include "Data/Track.h"
#include "Data/TrackList.h"

#include <QByteArray>

#include <cmath>
#include <limits>
#include <vector>

namespace {

const char* const kFieldNames[] = { "samplenumber", "values", "label", "unit", "trackID" };
const unsigned kFieldCount = 5;

} // namespace

matvar_t* MatlabExporter::CreateStringVariable(QString const& name, QString const& value)
{
    QByteArray text = value.toLocal8Bit();
    // One element per byte of the 8-bit text (per character for ASCII).
    size_t dims[2] = { 1, static_cast<size_t>(text.size()) };
    return Mat_VarCreate(name.toLocal8Bit().constData(), MAT_C_CHAR, MAT_T_UINT8, 2, dims, text.data(), 0);
}

matvar_t* MatlabExporter::CreateUint32Variable(QString const& name, unsigned int value)
{
    size_t dims[2] = { 1, 1 };
    quint32 data = value;
    return Mat_VarCreate(name.toLocal8Bit().constData(), MAT_C_UINT32, MAT_T_UINT32, 2, dims, &data, 0);
}

matvar_t* MatlabExporter::CreateDoubleVectorVariable(QString const& name, QList<double>* values)
{
    std::vector<double> data;
    if (values != nullptr)
        data.assign(values->cbegin(), values->cend());
    return CreateDoubleVectorVariable(name, data.data(), data.size());
}

matvar_t* MatlabExporter::CreateDoubleVectorVariable(QString const& name, const double* values, std::size_t count)
{
    return CreateDoubleMatrixVariable(name, 1, count, values);
}

matvar_t* MatlabExporter::CreateDoubleMatrixVariable(QString const& name, std::size_t rows, std::size_t columns,
                                                     const double* values)
{
    size_t dims[2] = { rows, columns };
    // matio copies the data; an empty matrix still needs a valid pointer.
    double none = 0;
    void* data = const_cast<double*>(rows * columns > 0 && values != nullptr ? values : &none);
    return Mat_VarCreate(name.toLocal8Bit().constData(), MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, data, 0);
}

void MatlabExporter::setField(matvar_t* structVariable, const char* field, int index, matvar_t* value)
{
    if (value == nullptr)
        return;
    matvar_t* previous = Mat_VarSetStructFieldByName(structVariable, field, static_cast<size_t>(index), value);
    if (previous == nullptr && Mat_VarGetStructFieldByName(structVariable, field, static_cast<size_t>(index)) != value) {
        // Not taken (no such field or element): still ours to release.
        Mat_VarFree(value);
        return;
    }
    Mat_VarFree(previous);
}

void MatlabExporter::FillTrackVariable(Track* track, matvar_t* structVariable, int index,
                                       const matvar_t* sameNumbers)
{
    if (structVariable == nullptr)
        return;
    matvar_t* numbers = nullptr;
    matvar_t* values = nullptr;
    QString label;
    QString unit;
    unsigned int id = 0;

    if (track != nullptr && track->getType() == Track::VectorTrack) {
        // Vector samples: one column per sample, one row per component.
        const VectorSampleStore& store = track->vectorSampleStore();
        const std::size_t count = static_cast<std::size_t>(store.size());
        std::size_t rows = static_cast<std::size_t>(track->getComponents().size());
        for (int i = 0; i < store.size(); ++i)
            rows = qMax(rows, static_cast<std::size_t>(store.componentCountAt(i)));
        if (rows == 0)
            rows = 1;
        std::vector<double> numberData(count);
        std::vector<double> matrix(rows * count, std::numeric_limits<double>::quiet_NaN());
        for (std::size_t i = 0; i < count; ++i) {
            numberData[i] = store.numberAt(int(i));
            const double* components = store.componentsAt(int(i));
            const int n = store.componentCountAt(int(i));
            for (int c = 0; c < n; ++c)
                matrix[i * rows + std::size_t(c)] = components[c];
        }
        numbers = CreateDoubleVectorVariable("samplenumber", numberData.data(), count);
        values = CreateDoubleMatrixVariable("values", rows, count, matrix.data());
    } else if (track != nullptr && track->getType() == Track::ScalarTrack) {
        const ScalarSampleStore& store = track->scalarSampleStore();
        std::vector<double> data(static_cast<std::size_t>(store.size()));
        if (sameNumbers != nullptr && sameNumbers->data != nullptr && store.size() > 0) {
            // Borrowed, not owned: matio leaves the data to the element that
            // owns it, which is released with the same struct.
            size_t dims[2] = { 1, data.size() };
            numbers = Mat_VarCreate("samplenumber", MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, sameNumbers->data,
                                    MAT_F_DONT_COPY_DATA);
        } else {
            store.copyNumbers(0, store.size(), data.data());
            numbers = CreateDoubleVectorVariable("samplenumber", data.data(), data.size());
        }
        store.copyValues(0, store.size(), data.data());
        values = CreateDoubleVectorVariable("values", data.data(), data.size());
    } else {
        numbers = CreateDoubleVectorVariable("samplenumber", nullptr, 0);
        values = CreateDoubleVectorVariable("values", nullptr, 0);
    }
    if (track != nullptr) {
        label = track->getLabel();
        unit = track->getUnit();
        id = static_cast<unsigned int>(track->getTrackId());
    }

    setField(structVariable, "samplenumber", index, numbers);
    setField(structVariable, "values", index, values);
    setField(structVariable, "label", index, CreateStringVariable("label", label));
    setField(structVariable, "unit", index, CreateStringVariable("unit", unit));
    setField(structVariable, "trackID", index, CreateUint32Variable("trackID", id));
}

matvar_t* MatlabExporter::CreateTrackListVariable(TrackList* trackList)
{
    const int count = trackList != nullptr ? trackList->numberOfTracks() : 0;
    size_t dims[2] = { static_cast<size_t>(count), 1 };
    const char* fields[kFieldCount];
    for (unsigned i = 0; i < kFieldCount; ++i)
        fields[i] = kFieldNames[i];
    matvar_t* structVariable = Mat_VarCreateStruct("sensorTracks", 2, dims, fields, kFieldCount);
    if (structVariable == nullptr)
        return nullptr;
    const QList<quint16> order = trackList != nullptr ? trackList->getTrackOrder() : QList<quint16>();
    // The scalar tracks filled so far, with their element.
    std::vector<std::pair<const Track*, int>> filled;
    for (int i = 0; i < count; ++i) {
        // The index order, as getTrackByIndex gives it, without its index limit.
        Track* track = i < order.size() ? trackList->getTrackById(order.at(i)) : nullptr;
        const matvar_t* sameNumbers = nullptr;
        if (track != nullptr && track->getType() == Track::ScalarTrack && track->numberOfSamples() > 0) {
            const SampleNumberRuns& runs = track->scalarSampleStore().numberRuns();
            for (const auto& earlier : filled) {
                if (earlier.first->scalarSampleStore().numberRuns().sameNumbers(runs)) {
                    sameNumbers = Mat_VarGetStructFieldByName(structVariable, "samplenumber",
                                                              static_cast<size_t>(earlier.second));
                    break;
                }
            }
            filled.emplace_back(track, i);
        }
        FillTrackVariable(track, structVariable, i, sameNumbers);
    }
    return structVariable;
}

bool MatlabExporter::ExportVariableToFile(QString fileName, matvar_t* variable)
{
    if (variable == nullptr)
        return false;
    // A fixed header text instead of matio's default, which carries the
    // creation time: exporting the same data twice gives the same bytes.
    static const char kHeader[] = "MATLAB 5.0 MAT-file, Created by: Korvex";
    mat_t* file = Mat_CreateVer(fileName.toLocal8Bit().constData(), kHeader, MAT_FT_MAT5);
    if (file == nullptr)
        return false;
    const bool written = Mat_VarWrite(file, variable, MAT_COMPRESSION_NONE) == 0;
    return Mat_Close(file) == 0 && written;
}

bool MatlabExporter::ExportTrackList(QString fileName, TrackList* trackList)
{
    matvar_t* variable = CreateTrackListVariable(trackList);
    const bool written = ExportVariableToFile(fileName, variable);
    Mat_VarFree(variable);
    return written;
}
