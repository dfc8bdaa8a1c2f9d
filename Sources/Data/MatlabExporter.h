#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <cstddef>

#include <matio.h>

class Track;
class TrackList;

// Writes a device's track list as a MAT level 5 file: one struct array
// "sensorTracks" with one element per track, in the list's index order, and
// the fields samplenumber, values, label, unit and trackID. Every variable
// created here is released once it has been written.
class MatlabExporter : public QObject
{
    Q_OBJECT
public:
    static matvar_t* CreateStringVariable(QString const& name, QString const& value);
    static matvar_t* CreateUint32Variable(QString const& name, unsigned int value);
    static matvar_t* CreateDoubleVectorVariable(QString const& name, QList<double>* values);
    static matvar_t* CreateDoubleVectorVariable(QString const& name, const double* values, std::size_t count);
    // A rows x columns matrix from `values` in column-major order, as the
    // MAT format stores it.
    static matvar_t* CreateDoubleMatrixVariable(QString const& name, std::size_t rows, std::size_t columns,
                                                const double* values);

    // Sets the five fields of element `index`. A null track gives an element
    // with empty fields. `sameNumbers`, when given, is the samplenumber
    // variable of an earlier element whose track has exactly this track's
    // sample numbers: its data is used instead of a copy of its own (the
    // channels of one device mostly share their numbers, and at an hour
    // per channel each copy is tens of megabytes).
    static void FillTrackVariable(Track* track, matvar_t* structVariable, int index,
                                  const matvar_t* sameNumbers = nullptr);
    static matvar_t* CreateTrackListVariable(TrackList* trackList);
    // Writes `variable` as the only variable of a new file; the caller keeps
    // the variable. False when the file cannot be created or written.
    static bool ExportVariableToFile(QString fileName, matvar_t* variable);
    static bool ExportTrackList(QString fileName, TrackList* trackList);

private:
    static void setField(matvar_t* structVariable, const char* field, int index, matvar_t* value);
};
