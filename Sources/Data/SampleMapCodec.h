#pragma once

class QDataStream;
class ScalarSampleStore;
class VectorSampleStore;

// The sample maps of a track record: the bulk of it. A scalar map is a count
// and then (sample number, double) entries, a vector map a count and then
// (sample number, count, doubles) entries, both highest number first, as the
// stream operators of the maps lay them out. They are encoded and decoded in
// blocks instead of one stream operator call per number, and read straight
// into the stores.
class SampleMapCodec
{
public:
    static void writeScalarMap(QDataStream& stream, const ScalarSampleStore& store);
    static void writeVectorMap(QDataStream& stream, const VectorSampleStore& store);
    // False (and the store left empty) when the map could not be read.
    static bool readScalarMap(QDataStream& stream, ScalarSampleStore& store);
    static bool readVectorMap(QDataStream& stream, VectorSampleStore& store);
};
