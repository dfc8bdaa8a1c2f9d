#pragma once

#include <QtGlobal>

class Measurement;
class UploadDataPage;

// Notes down how an upload of a sensor's part went, once its reader has
// ended: the stored samples are counted again, and the reader's sample
// groups that failed their check and its requests asked again, timed out or
// refused are added to those of earlier attempts.
class UploadQuality
{
public:
    static bool record(Measurement* host, quint64 serial, const UploadDataPage* reader);
};
