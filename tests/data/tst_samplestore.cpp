#include "Data/ScalarSampleStore.h"
#include "Data/VectorSampleStore.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <vector>

namespace {

QList<quint32> numbersOf(const ScalarSampleStore& store)
{
    QList<quint32> numbers;
    for (int i = 0; i < store.size(); ++i)
        numbers.append(store.numberAt(i));
    return numbers;
}

QList<double> valuesOf(const ScalarSampleStore& store)
{
    QList<double> values;
    for (int i = 0; i < store.size(); ++i)
        values.append(store.valueAt(i));
    return values;
}


bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// What a stream of samples looks like: how the numbers go on, and how the
// values are made.
struct StreamShape {
    int width = 2;
    bool isSigned = true;
    double scale = 0.00048828125;
    quint32 step = 1; // the down-sampling step between numbers
    double gap = 0; // chance that packets are lost before a sample
    double late = 0; // chance that a sample comes out of order
    double repeat = 0; // chance that a number already stored comes again
    double foreign = 0; // chance of a value no raw integer gives
};

// Every public result of the store against a plain map.
QString differences(const ScalarSampleStore& store, const std::map<quint32, double>& model, std::mt19937& random)
{
    if (store.size() != int(model.size()))
        return QString("size %1, expected %2").arg(store.size()).arg(model.size());
    if (store.isEmpty() != model.empty())
        return "isEmpty differs";
    std::vector<double> numbers(model.size());
    std::vector<double> values(model.size());
    store.copyNumbers(0, store.size(), numbers.data());
    store.copyValues(0, store.size(), values.data());
    const auto numberView = store.numbers();
    const auto valueView = store.values();
    int i = 0;
    for (auto it = model.begin(); it != model.end(); ++it, ++i) {
        if (store.numberAt(i) != it->first)
            return QString("number %1 at %2, expected %3").arg(store.numberAt(i)).arg(i).arg(it->first);
        if (!sameBits(store.valueAt(i), it->second))
            return QString("value %1 at %2, expected %3").arg(store.valueAt(i)).arg(i).arg(it->second);
        if (numbers[std::size_t(i)] != double(it->first) || !sameBits(values[std::size_t(i)], it->second))
            return QString("copied sample %1 differs").arg(i);
        if (numberView[std::size_t(i)] != it->first || !sameBits(valueView[std::size_t(i)], it->second))
            return QString("viewed sample %1 differs").arg(i);
    }
    // Walking backwards, as the record writer does.
    i = store.size() - 1;
    for (auto it = model.rbegin(); it != model.rend(); ++it, --i) {
        if (store.numberAt(i) != it->first)
            return QString("backwards: number %1 at %2, expected %3").arg(store.numberAt(i)).arg(i).arg(it->first);
    }
    // Look-ups of numbers held and not held, random and at the edges.
    std::vector<quint32> probes = { 0, 1, 0xFFFFFFFFu };
    if (!model.empty()) {
        probes.push_back(model.begin()->first);
        probes.push_back(model.rbegin()->first);
        probes.push_back(model.rbegin()->first + 1);
    }
    std::uniform_int_distribution<quint32> anyNumber(0, model.empty() ? 100 : model.rbegin()->first + 10);
    for (int p = 0; p < 200; ++p)
        probes.push_back(anyNumber(random));
    for (quint32 probe : probes) {
        const auto found = model.find(probe);
        const int expectedIndex = found == model.end() ? -1 : int(std::distance(model.begin(), found));
        if (store.indexOf(probe) != expectedIndex)
            return QString("indexOf(%1) = %2, expected %3").arg(probe).arg(store.indexOf(probe)).arg(expectedIndex);
        const int expectedBound = int(std::distance(model.begin(), model.lower_bound(probe)));
        if (store.lowerBound(probe) != expectedBound)
            return QString("lowerBound(%1) = %2, expected %3").arg(probe).arg(store.lowerBound(probe)).arg(expectedBound);
        const int viewBound = int(std::lower_bound(numberView.begin(), numberView.end(), probe) - numberView.begin());
        if (viewBound != expectedBound)
            return QString("lower_bound over the view (%1) = %2, expected %3").arg(probe).arg(viewBound).arg(expectedBound);
    }
    return QString();
}

double valueFor(const StreamShape& shape, std::mt19937& random)
{
    std::uniform_real_distribution<double> chance(0, 1);
    if (chance(random) < shape.foreign)
        return chance(random) * 1000.0 + 0.1;
    qint64 low = 0;
    qint64 high = 0;
    if (shape.width == 2 || shape.width == 1) {
        low = shape.isSigned ? -(1 << (8 * shape.width - 1)) : 0;
        high = shape.isSigned ? (1 << (8 * shape.width - 1)) - 1 : (1 << (8 * shape.width)) - 1;
    } else {
        low = shape.isSigned ? -2147483648LL : 0;
        high = shape.isSigned ? 2147483647LL : 4294967295LL;
    }
    std::uniform_int_distribution<qint64> raw(low, high);
    return double(raw(random)) * shape.scale;
}

} // namespace

class TestSampleStore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void scalarInsertsKeepAscendingOrderWithOneValuePerNumber_data()
    {
        QTest::addColumn<QList<quint32>>("numbers");
        QTest::addColumn<QList<quint32>>("expectedNumbers");
        QTest::addColumn<QList<double>>("expectedValues");
        // Each inserted value is its position in the input, so the expected
        // values tell which insert won.
        QTest::newRow("appends") << QList<quint32> { 1, 2, 5 } << QList<quint32> { 1, 2, 5 }
                                 << QList<double> { 0, 1, 2 };
        QTest::newRow("descending") << QList<quint32> { 9, 4, 0 } << QList<quint32> { 0, 4, 9 }
                                    << QList<double> { 2, 1, 0 };
        QTest::newRow("gap filled") << QList<quint32> { 10, 30, 20 } << QList<quint32> { 10, 20, 30 }
                                    << QList<double> { 0, 2, 1 };
        QTest::newRow("repeat of last replaces") << QList<quint32> { 3, 7, 7 } << QList<quint32> { 3, 7 }
                                                 << QList<double> { 0, 2 };
        QTest::newRow("repeat of older replaces") << QList<quint32> { 3, 7, 3 } << QList<quint32> { 3, 7 }
                                                  << QList<double> { 2, 1 };
        QTest::newRow("extremes") << QList<quint32> { 0xFFFFFFFFu, 0 } << QList<quint32> { 0, 0xFFFFFFFFu }
                                  << QList<double> { 1, 0 };
    }

    void scalarInsertsKeepAscendingOrderWithOneValuePerNumber()
    {
        QFETCH(QList<quint32>, numbers);
        QFETCH(QList<quint32>, expectedNumbers);
        QFETCH(QList<double>, expectedValues);
        ScalarSampleStore store;
        for (int i = 0; i < numbers.size(); ++i)
            store.insert(numbers.at(i), i);
        QCOMPARE(numbersOf(store), expectedNumbers);
        QCOMPARE(valuesOf(store), expectedValues);
        for (int i = 0; i < expectedNumbers.size(); ++i)
            QCOMPARE(store.indexOf(expectedNumbers.at(i)), i);
    }

    void onlyChangesOtherThanAppendsCountAsReordering()
    {
        ScalarSampleStore store;
        store.insert(1, 1.0);
        store.insert(2, 2.0);
        QCOMPARE(store.reorderCount(), quint64(0));
        store.insert(2, 3.0);
        QCOMPARE(store.reorderCount(), quint64(1));
        store.insert(0, 3.0);
        QCOMPARE(store.reorderCount(), quint64(2));
        QCOMPARE(store.indexOf(7), -1);
    }

    void scalarAssignSortsAndKeepsTheLastOfRepeatedNumbers_data()
    {
        QTest::addColumn<QList<quint32>>("numbers");
        QTest::addColumn<QList<quint32>>("expectedNumbers");
        QTest::addColumn<QList<double>>("expectedValues");
        QTest::newRow("as written: highest first") << QList<quint32> { 30, 20, 10 } << QList<quint32> { 10, 20, 30 }
                                                   << QList<double> { 2, 1, 0 };
        QTest::newRow("ascending") << QList<quint32> { 1, 2 } << QList<quint32> { 1, 2 } << QList<double> { 0, 1 };
        QTest::newRow("mixed with repeats") << QList<quint32> { 5, 1, 5, 3, 1 } << QList<quint32> { 1, 3, 5 }
                                            << QList<double> { 4, 3, 2 };
        QTest::newRow("empty") << QList<quint32> {} << QList<quint32> {} << QList<double> {};
    }

    void scalarAssignSortsAndKeepsTheLastOfRepeatedNumbers()
    {
        QFETCH(QList<quint32>, numbers);
        QFETCH(QList<quint32>, expectedNumbers);
        QFETCH(QList<double>, expectedValues);
        std::vector<quint32> n(numbers.cbegin(), numbers.cend());
        std::vector<double> v;
        for (int i = 0; i < numbers.size(); ++i)
            v.push_back(i);
        ScalarSampleStore store;
        store.insert(99, 99.0);
        store.assign(std::move(n), std::move(v));
        QCOMPARE(numbersOf(store), expectedNumbers);
        QCOMPARE(valuesOf(store), expectedValues);
    }

    void storeAgreesWithAMapOnRandomStreams_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("samples");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("isSigned");
        QTest::addColumn<double>("scale");
        QTest::addColumn<quint32>("step");
        QTest::addColumn<double>("gap");
        QTest::addColumn<double>("late");
        QTest::addColumn<double>("repeat");
        QTest::addColumn<double>("foreign");
        QTest::addColumn<int>("encoding");
        const double acc = 0.00048828125;
        const double gyr = 0.06097560975609757;
        QTest::newRow("acc 16-bit, in order") << 1u << 20000 << 2 << true << acc << 1u << 0.0 << 0.0 << 0.0 << 0.0 << int(ScalarSampleStore::Int16);
        QTest::newRow("gyr 16-bit, lost packets") << 2u << 20000 << 2 << true << gyr << 1u << 0.01 << 0.0 << 0.0 << 0.0 << int(ScalarSampleStore::Int16);
        QTest::newRow("down-sampled by 10, late and repeated") << 3u << 10000 << 2 << true << acc << 10u << 0.01 << 0.02 << 0.02 << 0.0 << int(ScalarSampleStore::Int16);
        QTest::newRow("down-sampled by 250, everything") << 4u << 5000 << 2 << false << 1.0 << 250u << 0.05 << 0.05 << 0.05 << 0.0 << int(ScalarSampleStore::UInt16);
        QTest::newRow("8-bit unsigned") << 5u << 5000 << 1 << false << 1.0 << 1u << 0.02 << 0.02 << 0.02 << 0.0 << int(ScalarSampleStore::UInt16);
        QTest::newRow("32-bit signed, mostly late") << 6u << 5000 << 4 << true << 0.3 << 3u << 0.1 << 0.3 << 0.1 << 0.0 << int(ScalarSampleStore::Int32);
        QTest::newRow("32-bit unsigned") << 7u << 5000 << 4 << false << 1.0 << 1u << 0.01 << 0.01 << 0.01 << 0.0 << int(ScalarSampleStore::UInt32);
        QTest::newRow("foreign values turn it into doubles") << 8u << 5000 << 2 << true << acc << 1u << 0.01 << 0.02 << 0.02 << 0.001 << int(ScalarSampleStore::Doubles);
        QTest::newRow("8-byte width keeps doubles") << 9u << 3000 << 8 << true << 1.0 << 1u << 0.01 << 0.02 << 0.02 << 0.0 << int(ScalarSampleStore::Doubles);
        QTest::newRow("no width: processor output") << 10u << 3000 << 0 << true << 1.0 << 7u << 0.3 << 0.1 << 0.1 << 1.0 << int(ScalarSampleStore::Doubles);
        QTest::newRow("scale 0 keeps doubles") << 11u << 1000 << 2 << true << 0.0 << 1u << 0.0 << 0.1 << 0.1 << 0.5 << int(ScalarSampleStore::Doubles);
    }

    void storeAgreesWithAMapOnRandomStreams()
    {
        QFETCH(quint32, seed);
        QFETCH(int, samples);
        QFETCH(int, width);
        QFETCH(bool, isSigned);
        QFETCH(double, scale);
        QFETCH(quint32, step);
        QFETCH(double, gap);
        QFETCH(double, late);
        QFETCH(double, repeat);
        QFETCH(double, foreign);
        QFETCH(int, encoding);
        StreamShape shape;
        shape.width = width;
        shape.isSigned = isSigned;
        shape.scale = scale;
        shape.step = step;
        shape.gap = gap;
        shape.late = late;
        shape.repeat = repeat;
        shape.foreign = foreign;

        std::mt19937 random(seed);
        std::uniform_real_distribution<double> chance(0, 1);
        ScalarSampleStore store;
        store.setRawFormat(width, isSigned, scale);
        std::map<quint32, double> model;
        quint64 expectedReorders = 0;
        // Numbers begin high, as a sensor's counter does some time after
        // switching on, and late ones may go below the first.
        quint32 next = 5000 + seed;
        for (int s = 0; s < samples; ++s) {
            quint32 number = next;
            if (chance(random) < shape.repeat && !model.empty()) {
                auto it = model.begin();
                std::advance(it, std::uniform_int_distribution<std::size_t>(0, model.size() - 1)(random));
                number = it->first;
            } else if (chance(random) < shape.late) {
                number = next - std::uniform_int_distribution<quint32>(1, 5000)(random);
            } else {
                if (chance(random) < shape.gap)
                    next += step * std::uniform_int_distribution<quint32>(1, 20)(random);
                number = next;
                next += step;
            }
            const double value = valueFor(shape, random);
            if (!model.empty() && number <= model.rbegin()->first)
                ++expectedReorders;
            store.insert(number, value);
            model[number] = value;
            if (s % 997 == 0) {
                const QString fault = differences(store, model, random);
                QVERIFY2(fault.isEmpty(), qPrintable(QString("after %1 samples: %2").arg(s + 1).arg(fault)));
            }
        }
        const QString fault = differences(store, model, random);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        QCOMPARE(store.reorderCount(), expectedReorders);
        QCOMPARE(int(store.encoding()), encoding);

        // Tight: the runs stay few where the numbers are regular.
        if (gap == 0 && late == 0 && repeat == 0)
            QCOMPARE(int(store.numberRuns().runs().size()), 1);

        // Read back as a record lists it, highest first, and in a shuffled
        // order with repeats (later ones win): the same store.
        ScalarSampleStore loaded;
        loaded.setRawFormat(width, isSigned, scale);
        loaded.beginRecordLoad(quint32(model.size()));
        for (auto it = model.rbegin(); it != model.rend(); ++it)
            loaded.addRecordEntry(it->first, it->second);
        loaded.finishRecordLoad();
        QVERIFY2(differences(loaded, model, random).isEmpty(), qPrintable(differences(loaded, model, random)));

        std::vector<std::pair<quint32, double>> entries(model.rbegin(), model.rend());
        std::vector<std::pair<quint32, double>> shuffled = entries;
        std::shuffle(shuffled.begin() + qsizetype(shuffled.size() / 2), shuffled.end(), random);
        std::map<quint32, double> expected = model;
        for (int r = 0; r < 50 && !entries.empty(); ++r) {
            const auto& entry = entries[std::uniform_int_distribution<std::size_t>(0, entries.size() - 1)(random)];
            const double value = valueFor(shape, random);
            shuffled.emplace_back(entry.first, value);
            expected[entry.first] = value;
        }
        ScalarSampleStore mixed;
        mixed.setRawFormat(width, isSigned, scale);
        mixed.beginRecordLoad(quint32(shuffled.size()));
        for (const auto& entry : shuffled)
            mixed.addRecordEntry(entry.first, entry.second);
        mixed.finishRecordLoad();
        QVERIFY2(differences(mixed, expected, random).isEmpty(), qPrintable(differences(mixed, expected, random)));

        // The same through assign.
        std::vector<quint32> n;
        std::vector<double> v;
        for (const auto& entry : shuffled) {
            n.push_back(entry.first);
            v.push_back(entry.second);
        }
        ScalarSampleStore assigned;
        assigned.setRawFormat(width, isSigned, scale);
        assigned.assign(std::move(n), std::move(v));
        QVERIFY2(differences(assigned, expected, random).isEmpty(), qPrintable(differences(assigned, expected, random)));
    }

    void rawValuesCostTheirWidthAndRegularNumbersAlmostNothing()
    {
        ScalarSampleStore store;
        store.setRawFormat(2, true, 0.00048828125);
        const int count = 100000;
        store.reserve(count);
        for (int i = 0; i < count; ++i)
            store.insert(quint32(1000 + 4 * i), double(qint16(i * 7)) * 0.00048828125);
        QCOMPARE(store.encoding(), ScalarSampleStore::Int16);
        store.squeeze();
        QVERIFY2(store.bytes() <= std::size_t(count) * 2 + 64, qPrintable(QString::number(store.bytes())));
        // A post-processed value keeps the store exact by turning it into doubles.
        store.insert(quint32(1000 + 4 * count), 30.65625 + 1e-9);
        QCOMPARE(store.encoding(), ScalarSampleStore::Doubles);
        QCOMPARE(store.valueAt(count), 30.65625 + 1e-9);
        QCOMPARE(store.valueAt(1), double(qint16(7)) * 0.00048828125);
        // Negative zero is not what a raw zero reads back as.
        ScalarSampleStore zero;
        zero.setRawFormat(2, true, 1.0);
        zero.insert(1, -0.0);
        QVERIFY(std::signbit(zero.valueAt(0)));
    }

    void vectorStoreAgreesWithAMapOnRandomStreams_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("rawOnly");
        QTest::newRow("raw quaternions") << 21u << true;
        QTest::newRow("raw quaternions again") << 22u << true;
        QTest::newRow("some samples in another form") << 23u << false;
    }

    void vectorStoreAgreesWithAMapOnRandomStreams()
    {
        QFETCH(quint32, seed);
        QFETCH(bool, rawOnly);
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> chance(0, 1);
        std::uniform_int_distribution<qint32> component(std::numeric_limits<qint32>::min(),
                                                        std::numeric_limits<qint32>::max());
        VectorSampleStore store;
        std::map<quint32, QList<double>> model;
        quint32 next = 100;
        for (int s = 0; s < 4000; ++s) {
            quint32 number = next;
            if (chance(random) < 0.05 && !model.empty())
                number = next - std::uniform_int_distribution<quint32>(1, 90)(random);
            else
                next += chance(random) < 0.02 ? 7 : 1;
            QList<double> sample;
            const int count = !rawOnly && chance(random) < 0.01 ? 3 : 4;
            for (int c = 0; c < count; ++c)
                sample.append(!rawOnly && chance(random) < 0.01 ? 0.5 : double(component(random)));
            store.insert(number, sample);
            model[number] = sample;
        }
        QCOMPARE(store.isRaw(), rawOnly);
        auto check = [&model](const VectorSampleStore& s) -> QString {
            if (s.size() != int(model.size()))
                return QString("size %1, expected %2").arg(s.size()).arg(model.size());
            int i = 0;
            for (auto it = model.begin(); it != model.end(); ++it, ++i) {
                if (s.numberAt(i) != it->first)
                    return QString("number at %1").arg(i);
                if (s.sampleAt(i) != it->second)
                    return QString("sample at %1").arg(i);
                if (s.componentCountAt(i) != it->second.size())
                    return QString("component count at %1").arg(i);
                const double* components = s.componentsAt(i);
                for (int c = 0; c < it->second.size(); ++c) {
                    if (components[c] != it->second.at(c) || s.componentAt(i, c) != it->second.at(c))
                        return QString("component %1 at %2").arg(c).arg(i);
                }
                if (s.indexOf(it->first) != i)
                    return QString("indexOf at %1").arg(i);
            }
            return QString();
        };
        QVERIFY2(check(store).isEmpty(), qPrintable(check(store)));

        VectorSampleStore loaded;
        loaded.beginRecordLoad();
        for (auto it = model.rbegin(); it != model.rend(); ++it) {
            const std::vector<double> c(it->second.cbegin(), it->second.cend());
            loaded.addRecordEntry(it->first, c.data(), int(c.size()));
        }
        loaded.finishRecordLoad();
        QVERIFY2(check(loaded).isEmpty(), qPrintable(check(loaded)));
        QCOMPARE(loaded.isRaw(), rawOnly);
    }

    void vectorSamplesMayDifferInLengthAndAreReplacedWhole()
    {
        VectorSampleStore store;
        store.insert(5, QList<double> { 1, 2, 3, 4 });
        store.insert(1, QList<double> { 9 });
        store.insert(9, QList<double> {});
        store.insert(7, QList<double> { 7, 7 });
        QCOMPARE(store.size(), 4);
        QCOMPARE(store.sampleAt(0), (QList<double> { 9 }));
        QCOMPARE(store.sampleAt(1), (QList<double> { 1, 2, 3, 4 }));
        QCOMPARE(store.sampleAt(2), (QList<double> { 7, 7 }));
        QCOMPARE(store.sampleAt(3), QList<double>());

        // Longer, then shorter replacement in the middle moves what follows.
        store.insert(5, QList<double> { 0, 0, 0, 0, 0, 0 });
        QCOMPARE(store.sampleAt(1).size(), 6);
        QCOMPARE(store.sampleAt(2), (QList<double> { 7, 7 }));
        store.insert(5, QList<double> { 8 });
        QCOMPARE(store.sampleAt(1), (QList<double> { 8 }));
        QCOMPARE(store.sampleAt(2), (QList<double> { 7, 7 }));
        QCOMPARE(store.sampleAt(0), (QList<double> { 9 }));
        QCOMPARE(store.numberAt(3), quint32(9));
    }

    void vectorAssignReversesTheWrittenOrderAndDropsInconsistentEnds()
    {
        VectorSampleStore store;
        store.assign({ 30, 20, 10 }, { 2, 3, 4 }, { 3, 3, 2, 1, 1 });
        QCOMPARE(store.size(), 3);
        QCOMPARE(store.sampleAt(0), (QList<double> { 1 }));
        QCOMPARE(store.sampleAt(1), (QList<double> { 2 }));
        QCOMPARE(store.sampleAt(2), (QList<double> { 3, 3 }));

        VectorSampleStore mixed;
        mixed.assign({ 2, 1, 2 }, { 1, 2, 3 }, { 20, 10, 21 });
        QCOMPARE(mixed.size(), 2);
        QCOMPARE(mixed.sampleAt(0), (QList<double> { 10 }));
        QCOMPARE(mixed.sampleAt(1), (QList<double> { 21 }));

        // An end beyond the values stops the sample list there.
        VectorSampleStore broken;
        broken.assign({ 1, 2, 3 }, { 1, 9, 2 }, { 1, 2 });
        QCOMPARE(broken.size(), 1);
        QCOMPARE(broken.sampleAt(0), (QList<double> { 1 }));
    }
};

QTEST_GUILESS_MAIN(TestSampleStore)
#include "tst_samplestore.moc"
