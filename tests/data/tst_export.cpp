#include "Application/Helper.h"
#include "Data/MatlabExporter.h"
#include "Data/Track.h"
#include "Data/TrackList.h"
#include "Data/TrackSettings.h"

#include "MatFile.h"
#include "TemporaryStorage.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <matio.h>

#include <cmath>
#include <memory>

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

QString exportFolder(const QString& name)
{
    return Helper::geExportPath() + "/" + name + "/";
}

void addScalar(TrackList& list, int id, const QList<QPair<quint32, double>>& samples)
{
    list.AddTrack(quint16(id), 0, 2, 0);
    Track* track = list.getTrackById(quint16(id));
    for (const auto& sample : samples) {
        track->setCurrentSampleNumber(sample.first);
        track->AddScalarSample(sample.second);
    }
}

QString charField(matvar_t* field)
{
    if (field == nullptr || field->class_type != MAT_C_CHAR || field->rank != 2 || field->dims[0] != 1)
        return QString("<not a 1 x n char array>");
    return QString::fromLatin1(static_cast<const char*>(field->data), int(field->dims[1]));
}

QList<double> doubleField(matvar_t* field, size_t rows)
{
    QList<double> values;
    if (field == nullptr || field->class_type != MAT_C_DOUBLE || field->data_type != MAT_T_DOUBLE
        || field->rank != 2 || field->dims[0] != rows)
        return { -12345.0 };
    const auto* data = static_cast<const double*>(field->data);
    for (size_t i = 0; i < field->dims[0] * field->dims[1]; ++i)
        values.append(data[i]);
    return values;
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scalarLinesAreNumberCommaValue_data()
    {
        QTest::addColumn<quint32>("number");
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("half") << 10u << 0.5 << QByteArray("10,0.5\r\n");
        QTest::newRow("integral") << 11u << 2.0 << QByteArray("11,2\r\n");
        QTest::newRow("six digits") << 1u << 1234567.0 << QByteArray("1,1.23457e+06\r\n");
        QTest::newRow("tie rounds up") << 2u << 30.65625 << QByteArray("2,30.6563\r\n");
        QTest::newRow("small") << 3u << 0.00001 << QByteArray("3,1e-05\r\n");
        QTest::newRow("fixed limit") << 4u << 0.0001 << QByteArray("4,0.0001\r\n");
        QTest::newRow("negative zero") << 5u << -0.0 << QByteArray("5,0\r\n");
        QTest::newRow("negative third") << 6u << -1.0 / 3 << QByteArray("6,-0.333333\r\n");
        QTest::newRow("gyro step") << 7u << -0.06097560975609757 << QByteArray("7,-0.0609756\r\n");
        QTest::newRow("largest number") << 4294967295u << 100000.0 << QByteArray("4294967295,100000\r\n");
        QTest::newRow("not a number") << 0u << std::nan("") << QByteArray("0,nan\r\n");
    }

    void scalarLinesAreNumberCommaValue()
    {
        QFETCH(quint32, number);
        QFETCH(double, value);
        QFETCH(QByteArray, line);
        TemporaryStorage storage;
        TrackList list(nullptr, 0x1f, 0x2);
        addScalar(list, 0x0110, { { number, value } });
        list.ExportToCSV("m");
        QCOMPARE(fileBytes(exportFolder("m") + "1f/Acc. X.csv"), line);
    }

    void exportLaysOutOneFolderPerDeviceAndOneMatFilePerList()
    {
        TemporaryStorage storage;
        TrackList first(nullptr, 0xab12, 0x2);
        addScalar(first, 0x0111, { { 11, 2 }, { 10, 0.5 } });
        addScalar(first, 0x0110, { { 1, 1 } });
        first.AddTrack(0x0140, 0, 16, 0);
        TrackList second(nullptr, 0x7, 0x2);
        addScalar(second, 0x0310, { { 3, 4000 } });

        TrackList::ClearExportDirectory("Run_1");
        first.ExportToCSV("Run_1");
        first.ExportToMAT("Run_1");
        second.ExportToCSV("Run_1");
        second.ExportToMAT("Run_1");

        const QString folder = exportFolder("Run_1");
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), (QStringList { "7.mat", "ab12.mat" }));
        QCOMPARE(QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name), (QStringList { "7", "ab12" }));
        QCOMPARE(QDir(folder + "ab12").entryList(QDir::Files, QDir::Name),
                 (QStringList { "Acc. X.csv", "Acc. Y.csv", "Fusion raw DMP.csv" }));
        QCOMPARE(fileBytes(folder + "ab12/Acc. Y.csv"), QByteArray("10,0.5\r\n11,2\r\n"));
        QCOMPARE(fileBytes(folder + "ab12/Fusion raw DMP.csv"), QByteArray());
        QCOMPARE(fileBytes(folder + "7/Battery Voltage.csv"), QByteArray("3,4000\r\n"));
    }

    void quaternionSamplesExportOneValuePerComponent()
    {
        TemporaryStorage storage;
        TrackList list(nullptr, 0x3, 0x4);
        list.AddTrack(0x0141, 0, 16, 0);
        addScalar(list, 0x0110, { { 7, 1 } });
        Track* fusion = list.getTrackById(0x0141);
        const QByteArray packet = QByteArray::fromHex("00000001" "FFFFFFFF" "00000002" "7FFFFFFF");
        quint64 position = 0;
        fusion->setCurrentSampleNumber(7);
        fusion->parseAndStoreSample(packet, position);
        fusion->setCurrentSampleNumber(8);
        fusion->AddVectorSample({ 0.5, 0, 0, -0.25 });

        list.ExportToCSV("q");
        list.ExportToMAT("q");
        QCOMPARE(fileBytes(exportFolder("q") + "3/Fusion with mag DMP.csv"),
                 QByteArray("7,1,-1,2,2.14748e+09,\r\n8,0.5,0,0,-0.25,\r\n"));
        QCOMPARE(fileBytes(exportFolder("q") + "3/Acc. X.csv"), QByteArray("7,1\r\n"));

        MatFile mat(exportFolder("q") + "3.mat");
        QVERIFY(mat.variable != nullptr);
        // Index 0 is the fusion track: components x samples, column by column.
        matvar_t* values = Mat_VarGetStructFieldByName(mat.variable, "values", 0);
        QVERIFY(values != nullptr);
        QCOMPARE(int(values->dims[0]), 4);
        QCOMPARE(int(values->dims[1]), 2);
        QCOMPARE(doubleField(values, 4), (QList<double> { 1, -1, 2, 2147483647.0, 0.5, 0, 0, -0.25 }));
        QCOMPARE(doubleField(Mat_VarGetStructFieldByName(mat.variable, "samplenumber", 0), 1),
                 (QList<double> { 7, 8 }));
        QCOMPARE(charField(Mat_VarGetStructFieldByName(mat.variable, "unit", 0)), QString("Quaternion"));
    }

    void matFileHoldsEveryTrackInIndexOrder()
    {
        TemporaryStorage storage;
        TrackList list(nullptr, 0xab12, 0x2);
        addScalar(list, 0x0112, { { 10, 0.5 }, { 11, 2 }, { 12, -1 } });
        addScalar(list, 0x0110, {});
        addScalar(list, 0x8014, { { 4294967295u, 250 } });
        list.ExportToMAT("m");

        MatFile mat(exportFolder("m") + "ab12.mat");
        QVERIFY(mat.variable != nullptr);
        QCOMPARE(mat.variable->class_type, MAT_C_STRUCT);
        QCOMPARE(mat.variable->rank, 2);
        QCOMPARE(int(mat.variable->dims[0]), 3);
        QCOMPARE(int(mat.variable->dims[1]), 1);
        QCOMPARE(Mat_VarGetNumberOfFields(mat.variable), 5u);
        char* const* names = Mat_VarGetStructFieldnames(mat.variable);
        QStringList fieldNames;
        for (unsigned i = 0; i < 5; ++i)
            fieldNames.append(QString::fromLatin1(names[i]));
        QCOMPARE(fieldNames, (QStringList { "samplenumber", "values", "label", "unit", "trackID" }));

        struct Expected {
            quint32 id;
            const char* label;
            const char* unit;
            QList<double> numbers;
            QList<double> values;
        };
        const QList<Expected> expected {
            { 0x0112, "Acc. Z", "g", { 10, 11, 12 }, { 0.5, 2, -1 } },
            { 0x0110, "Acc. X", "g", {}, {} },
            { 0x8014, "Ground Contact Time", "ms", { 4294967295.0 }, { 250 } },
        };
        for (int i = 0; i < expected.size(); ++i) {
            const Expected& e = expected.at(i);
            matvar_t* numbers = Mat_VarGetStructFieldByName(mat.variable, "samplenumber", size_t(i));
            matvar_t* values = Mat_VarGetStructFieldByName(mat.variable, "values", size_t(i));
            QCOMPARE(doubleField(numbers, 1), e.numbers);
            QCOMPARE(doubleField(values, 1), e.values);
            QCOMPARE(int(numbers->dims[1]), e.numbers.size());
            QCOMPARE(int(values->dims[1]), e.values.size());
            QCOMPARE(charField(Mat_VarGetStructFieldByName(mat.variable, "label", size_t(i))), QString(e.label));
            QCOMPARE(charField(Mat_VarGetStructFieldByName(mat.variable, "unit", size_t(i))), QString(e.unit));
            matvar_t* id = Mat_VarGetStructFieldByName(mat.variable, "trackID", size_t(i));
            QVERIFY(id != nullptr);
            QCOMPARE(id->class_type, MAT_C_UINT32);
            QCOMPARE(id->data_type, MAT_T_UINT32);
            QCOMPARE(int(id->dims[0]) * int(id->dims[1]), 1);
            QCOMPARE(*static_cast<const quint32*>(id->data), e.id);
        }
    }

    void tracksWithTheSameNumbersEachGetThemInTheMatFile()
    {
        // The channels of one device share their sample numbers; the file
        // holds them in every element all the same, and other numbers stay
        // apart.
        TemporaryStorage storage;
        TrackList list(nullptr, 0xab13, 0x3);
        QList<QPair<quint32, double>> a;
        QList<QPair<quint32, double>> b;
        QList<QPair<quint32, double>> c;
        for (quint32 n = 100; n < 400; ++n) {
            if (n == 250)
                continue;
            a.append({ n, double(qint16(n * 77)) / 2048.0 });
            b.append({ n, double(qint16(n * 13)) / 2048.0 });
            c.append({ n + (n > 300 ? 1 : 0), 1.0 });
        }
        addScalar(list, 0x0110, a);
        addScalar(list, 0x0111, b);
        addScalar(list, 0x0112, c);
        addScalar(list, 0x0120, a);
        list.ExportToMAT("s");
        MatFile mat(exportFolder("s") + "ab13.mat");
        QVERIFY(mat.variable != nullptr);
        const QList<QList<QPair<quint32, double>>> expected { a, b, c, a };
        for (int i = 0; i < expected.size(); ++i) {
            QList<double> numbers;
            QList<double> values;
            for (const auto& sample : expected.at(i)) {
                numbers.append(sample.first);
                values.append(sample.second);
            }
            QCOMPARE(doubleField(Mat_VarGetStructFieldByName(mat.variable, "samplenumber", size_t(i)), 1), numbers);
            QCOMPARE(doubleField(Mat_VarGetStructFieldByName(mat.variable, "values", size_t(i)), 1), values);
        }
    }

    void aListWithoutTracksGivesAnEmptyStructAndNoCsvFolder()
    {
        TemporaryStorage storage;
        TrackList list(nullptr, 0x5, 0x6);
        list.ExportToCSV("e");
        list.ExportToMAT("e");
        QVERIFY(!QDir(exportFolder("e") + "5").exists());
        MatFile mat(exportFolder("e") + "5.mat");
        QVERIFY(mat.variable != nullptr);
        QCOMPARE(mat.variable->class_type, MAT_C_STRUCT);
        QCOMPARE(int(mat.variable->dims[0]), 0);
        QCOMPARE(int(mat.variable->dims[1]), 1);
        QCOMPARE(Mat_VarGetNumberOfFields(mat.variable), 5u);
    }

    void exportingTwiceGivesTheSameFiles()
    {
        TemporaryStorage storage;
        TrackList list(nullptr, 0xab, 0x2);
        QList<QPair<quint32, double>> samples;
        for (quint32 i = 0; i < 500; ++i)
            samples.append({ i * 2, std::sin(i * 0.1) });
        addScalar(list, 0x0120, samples);
        list.AddTrack(0x0140, 0, 16, 0);
        list.getTrackById(0x0140)->AddVectorSample({ 1, 2, 3, 4 });

        auto exportOnce = [&list]() {
            TrackList::ClearExportDirectory("twice");
            list.ExportToCSV("twice");
            list.ExportToMAT("twice");
        };
        exportOnce();
        const QByteArray csv = fileBytes(exportFolder("twice") + "ab/Gyr. X.csv");
        const QByteArray vector = fileBytes(exportFolder("twice") + "ab/Fusion raw DMP.csv");
        const QByteArray mat = fileBytes(exportFolder("twice") + "ab.mat");
        QVERIFY(csv.size() > 5000);
        QVERIFY(csv.startsWith("0,0\r\n2,0.0998334\r\n"));
        QCOMPARE(vector, QByteArray("0,1,2,3,4,\r\n"));
        // The header text is fixed, so the file does not depend on the clock.
        QVERIFY(mat.startsWith("MATLAB 5.0 MAT-file, Created by: Korvex"));
        QVERIFY(!mat.left(116).contains(QByteArray::number(QDate::currentDate().year())));

        // A leftover from elsewhere goes with the cleared folder.
        QFile stale(exportFolder("twice") + "ab/stale.csv");
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        exportOnce();
        QVERIFY(!QFile::exists(exportFolder("twice") + "ab/stale.csv"));
        QCOMPARE(fileBytes(exportFolder("twice") + "ab/Gyr. X.csv"), csv);
        QCOMPARE(fileBytes(exportFolder("twice") + "ab/Fusion raw DMP.csv"), vector);
        QCOMPARE(fileBytes(exportFolder("twice") + "ab.mat"), mat);
    }

    void aCsvFileIsRewrittenWholeWithoutClearing()
    {
        TemporaryStorage storage;
        TrackList list(nullptr, 0x1, 0x2);
        addScalar(list, 0x0110, { { 1, 1 }, { 2, 2 }, { 3, 3 } });
        list.ExportToCSV("again");
        QCOMPARE(fileBytes(exportFolder("again") + "1/Acc. X.csv"), QByteArray("1,1\r\n2,2\r\n3,3\r\n"));
        TrackList shorter(nullptr, 0x1, 0x2);
        addScalar(shorter, 0x0110, { { 9, 9 } });
        shorter.ExportToCSV("again");
        QCOMPARE(fileBytes(exportFolder("again") + "1/Acc. X.csv"), QByteArray("9,9\r\n"));
    }

    void labelsWithFolderSeparatorsStayInTheDeviceFolder()
    {
        TemporaryStorage storage;
        TrackList list(nullptr, 0x1, 0x2);
        TrackSettings settings(0x8021);
        settings.label = "../../GCT/filtered";
        auto* track = new Track(&settings);
        track->AddScalarSample(1);
        list.AddTrack(track);
        list.ExportToCSV("sep");
        QCOMPARE(fileBytes(exportFolder("sep") + "1/.._.._GCT_filtered.csv"), QByteArray("0,1\r\n"));
    }

    void anExportFolderThatCannotBeCreatedIsReported()
    {
        TemporaryStorage storage;
        QDir().mkpath(Helper::geExportPath());
        QFile blocker(Helper::geExportPath() + "/blocked");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        TrackList list(nullptr, 0xc, 0x2);
        addScalar(list, 0x0110, { { 1, 1 } });
        addScalar(list, 0x0111, { { 1, 1 } });
        const QString csvFolder = Helper::geExportPath() + "/blocked/c";
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString(" Could not create export directoy:  \"%1\"").arg(csvFolder)));
        list.ExportToCSV("blocked");
        const QString matFolder = Helper::geExportPath() + "/blocked/";
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString(" Could not create export directoy:  \"%1\"").arg(matFolder)));
        list.ExportToMAT("blocked");
        QCOMPARE(blocker.size(), qint64(0));
    }

    void aMatFileThatCannotBeCreatedIsSkipped()
    {
        TemporaryStorage storage;
        TrackList list(nullptr, 0xd, 0x2);
        addScalar(list, 0x0110, { { 1, 1 } });
        QDir().mkpath(exportFolder("m") + "d.mat");
        list.ExportToMAT("m");
        QVERIFY(QFileInfo(exportFolder("m") + "d.mat").isDir());
        QVERIFY(!MatlabExporter::ExportTrackList(exportFolder("m") + "d.mat", &list));
        QVERIFY(MatlabExporter::ExportTrackList(exportFolder("m") + "other.mat", &list));
    }

    void variablesHaveTheirClassesAndShapes()
    {
        matvar_t* text = MatlabExporter::CreateStringVariable("label", "Acc. X");
        QCOMPARE(text->class_type, MAT_C_CHAR);
        QCOMPARE(text->data_type, MAT_T_UINT8);
        QCOMPARE(charField(text), QString("Acc. X"));
        Mat_VarFree(text);

        QList<double> values { 1, 2, 3 };
        matvar_t* vector = MatlabExporter::CreateDoubleVectorVariable("values", &values);
        QCOMPARE(doubleField(vector, 1), values);
        Mat_VarFree(vector);

        matvar_t* empty = MatlabExporter::CreateDoubleVectorVariable("values", nullptr);
        QCOMPARE(int(empty->dims[0]), 1);
        QCOMPARE(int(empty->dims[1]), 0);
        Mat_VarFree(empty);

        matvar_t* number = MatlabExporter::CreateUint32Variable("trackID", 0x8014);
        QCOMPARE(number->class_type, MAT_C_UINT32);
        QCOMPARE(*static_cast<const quint32*>(number->data), 0x8014u);
        Mat_VarFree(number);
    }
};

QTEST_GUILESS_MAIN(TestExport)
#include "tst_export.moc"
