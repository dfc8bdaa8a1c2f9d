#pragma once

#include <QString>

#include <matio.h>

// Opens a MAT file read-only and reads its "sensorTracks" variable; both are
// released with the object. `variable` is null when the file or the
// variable cannot be read.
struct MatFile {
    explicit MatFile(const QString& path)
        : mat(Mat_Open(path.toLocal8Bit().constData(), MAT_ACC_RDONLY))
    {
        if (mat != nullptr)
            variable = Mat_VarRead(mat, "sensorTracks");
    }
    ~MatFile()
    {
        Mat_VarFree(variable);
        if (mat != nullptr)
            Mat_Close(mat);
    }
    MatFile(const MatFile&) = delete;
    MatFile& operator=(const MatFile&) = delete;

    mat_t* mat = nullptr;
    matvar_t* variable = nullptr;
};
