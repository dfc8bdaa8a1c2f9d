#pragma once

#include <QObject>
#include <QString>

class QDataStream;

// The base of every object that outlives a run: it knows its folder, file
// name, extension and binary record, and can save, erase, load and scan for
// records of its kind. Records are Qt data streams that begin with the
// serialisation version as a signed 64-bit integer.
class Storable : public QObject
{
    Q_OBJECT
public:
    // How much of a record a reader takes: LoadHeader lets it skip the bulk
    // data (a track list skips its tracks), LoadFull reads everything.
    enum LoadModes { LoadHeader = 0, LoadFull = 1 };
    Q_ENUM(LoadModes)

    explicit Storable(QObject* parent = nullptr);

    void setLoadMode(Storable::LoadModes mode);
    Storable::LoadModes getLoadMode() const { return m_loadMode; }

    bool loadFileFromDisk(QString path);
    bool loadSelfFromDisk();
    bool saveToDisk();
    virtual bool eraseFromDisk();
    void scanForFilesAndLoad();

    virtual QString storagePath() = 0;
    virtual QString entityName() = 0;
    virtual QString fileEnding() = 0;
    virtual QString generateFileName() = 0;
    // Reads one record into a new object of the same kind (which inherits
    // this object's load mode) and announces it; false when the record could
    // not be read completely.
    virtual bool tryLoadFromStream(QDataStream& stream) = 0;
    virtual void saveToStream(QDataStream& stream) = 0;

    // storagePath() + "/" + generateFileName() + "." + fileEnding()
    QString fullPath();

    // Reads the version that heads every record. A value no writer of this
    // program produces (not positive, or newer than this program) marks the
    // stream as corrupt, so that a stray file is not taken for a record.
    static qint64 readSerializationVersion(QDataStream& stream);
    static void writeSerializationVersion(QDataStream& stream);

    // Bytes still unread behind the stream, or -1 when its device cannot
    // tell. Readers use it to refuse counts that the file cannot hold.
    static qint64 bytesLeft(const QDataStream& stream);

    // Reads a 32-bit element count and checks it against the bytes left,
    // given the smallest encoded size of one element. A count the rest of
    // the stream cannot hold marks the stream as past its end and gives 0.
    static quint32 readCount(QDataStream& stream, qint64 minimumElementSize);

Q_SIGNALS:
    void persistentChanged(Storable* item);
    void volatileChanged(Storable* item);

private:
    LoadModes m_loadMode = LoadFull;
};
