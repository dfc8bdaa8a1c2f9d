#include "Log/DestinationFactory.h"
#include "Log/Logger.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

class RecordingDestination : public QsLogging::Destination
{
public:
    void write(const QString& message) override { lines.append(message); }
    QStringList lines;
};

// The logger has no removal, so the recorders live as long as the process.
RecordingDestination s_first;
RecordingDestination s_second;

int s_evaluations = 0;
QString countedValue()
{
    ++s_evaluations;
    return QStringLiteral("counted");
}

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QsLogging::Logger::instance().addDestination(&s_first);
    }

    void init()
    {
        s_first.lines.clear();
        s_second.lines.clear();
        QsLogging::Logger::instance().setLoggingLevel(QsLogging::TraceLevel);
    }

    void statementsBelowTheLevelProduceNothingAndEvaluateNothing()
    {
        QsLogging::Logger::instance().setLoggingLevel(QsLogging::WarnLevel);
        s_evaluations = 0;
        QLOG_INFO() << countedValue();
        QLOG_TRACE() << countedValue();
        QCOMPARE(s_evaluations, 0);
        QVERIFY(s_first.lines.isEmpty());

        QLOG_WARN() << countedValue();
        QCOMPARE(s_evaluations, 1);
        QCOMPARE(s_first.lines.size(), 1);
    }

    void levelTextIsRightAlignedInFiveCharacters_data()
    {
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("trace") << int(QsLogging::TraceLevel) << "TRACE ";
        QTest::newRow("debug") << int(QsLogging::DebugLevel) << "DEBUG ";
        QTest::newRow("info") << int(QsLogging::InfoLevel) << " INFO ";
        QTest::newRow("warn") << int(QsLogging::WarnLevel) << " WARN ";
        QTest::newRow("error") << int(QsLogging::ErrorLevel) << "ERROR ";
        QTest::newRow("fatal") << int(QsLogging::FatalLevel) << "FATAL ";
    }

    void levelTextIsRightAlignedInFiveCharacters()
    {
        QFETCH(int, level);
        QFETCH(QString, prefix);
        QLOG_AT(static_cast<QsLogging::Level>(level)) << "x";
        QCOMPARE(s_first.lines.size(), 1);
        QVERIFY2(s_first.lines.first().startsWith(prefix), qPrintable(s_first.lines.first()));
    }

    void lineCarriesTimestampCallSiteAndQuotedTexts()
    {
        const int line = __LINE__ + 1;
        QLOG_INFO() << "Korvex started. Revision: " << QStringLiteral("two words") << 42;
        QCOMPARE(s_first.lines.size(), 1);
        const QString text = s_first.lines.first();

        static const QRegularExpression pattern(QStringLiteral(
            "^ INFO \\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}\\.\\d{3} (.*)$"));
        const QRegularExpressionMatch match = pattern.match(text);
        QVERIFY2(match.hasMatch(), qPrintable(text));
        const QString expected = QStringLiteral(__FILE__) + QStringLiteral(" @ ") + QString::number(line)
            + QStringLiteral(" Korvex started. Revision:  \"two words\" 42 ");
        QCOMPARE(match.captured(1), expected);
    }

    void everyDestinationGetsEveryLineInOrder()
    {
        static bool added = false;
        if (!added) {
            QsLogging::Logger::instance().addDestination(&s_second);
            added = true;
        }
        QLOG_INFO() << "one";
        QLOG_ERROR() << "two";
        QCOMPARE(s_first.lines.size(), 2);
        QCOMPARE(s_second.lines, s_first.lines);
        QVERIFY(s_first.lines.at(0).contains(QStringLiteral(" one ")));
        QVERIFY(s_first.lines.at(1).contains(QStringLiteral(" two ")));
    }

    void fileDestinationReplacesOldContentAndWritesLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.txt"));
        {
            QFile old(path);
            QVERIFY(old.open(QFile::WriteOnly));
            old.write("stale content that must disappear\n");
        }
        QsLogging::DestinationPtr file = QsLogging::DestinationFactory::MakeFileDestination(path);
        file->write(QStringLiteral("first"));
        file->write(QStringLiteral("second"));

        QFile check(path);
        QVERIFY(check.open(QFile::ReadOnly));
        QCOMPARE(check.readAll(), QByteArray("first\nsecond\n"));
    }
};

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
