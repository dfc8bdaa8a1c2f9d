#include "Data/CsvTrackWriter.h"

#include "Data/Track.h"

#include <QByteArray>
#include <QFile>

#include <charconv>

namespace {

const int kBlockSize = 1 << 20;

class BlockWriter
{
public:
    explicit BlockWriter(QFile& file)
        : m_file(file)
    {
        m_block.reserve(kBlockSize + 256);
    }

    void number(quint32 value)
    {
        char digits[16];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        m_block.append(digits, int(result.ptr - digits));
    }

    // The text stream's own formatting: 'g' with 6 significant digits, ties
    // rounded away from zero, no sign on zero.
    void number(double value) { m_block.append(QByteArray::number(value, 'g', 6)); }

    void text(const char* chars, int length)
    {
        m_block.append(chars, length);
        if (m_block.size() >= kBlockSize)
            flushBlock();
    }

    bool finish()
    {
        flushBlock();
        return m_ok && m_file.flush();
    }

private:
    void flushBlock()
    {
        if (m_block.isEmpty())
            return;
        if (m_file.write(m_block) != m_block.size())
            m_ok = false;
        m_block.clear();
    }

    QFile& m_file;
    QByteArray m_block;
    bool m_ok = true;
};

} // namespace

bool CsvTrackWriter::write(const Track& track, const QString& path)
{
    QFile file(path);
    // Truncated: whatever an earlier export left in the file goes.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate))
        return false;
    BlockWriter out(file);

    if (track.getType() == Track::ScalarTrack) {
        const ScalarSampleStore& store = track.scalarSampleStore();
        for (int i = 0; i < store.size(); ++i) {
            out.number(store.numberAt(i));
            out.text(",", 1);
            out.number(store.valueAt(i));
            out.text("\r\n", 2);
        }
    } else if (track.getType() == Track::VectorTrack) {
        const VectorSampleStore& store = track.vectorSampleStore();
        for (int i = 0; i < store.size(); ++i) {
            out.number(store.numberAt(i));
            out.text(",", 1);
            const double* components = store.componentsAt(i);
            for (int c = 0; c < store.componentCountAt(i); ++c) {
                out.number(components[c]);
                out.text(",", 1);
            }
            out.text("\r\n", 2);
        }
    }
    const bool ok = out.finish();
    file.close();
    return ok;
}
