#include "Data/ScalarSampleStore.h"
#include "Data/VectorSampleStore.h"

#include <QtTest>

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
