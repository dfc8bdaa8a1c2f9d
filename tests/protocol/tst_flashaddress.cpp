#include "Protocol/FlashAddress.h"

#include "LogCapture.h"

#include <QtTest>

namespace {
struct Lbp {
    int lun;
    int block;
    int page;
};
} // namespace
Q_DECLARE_METATYPE(Lbp)

namespace {
void compareAddress(const FlashAddress& address, int lun, int block, int page)
{
    QCOMPARE(int(address.getLun()), lun);
    QCOMPARE(int(address.getBlock()), block);
    QCOMPARE(int(address.getPage()), page);
}
} // namespace

class TestFlashAddress : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void outOfRangeAddressesCollapseToZeroAndAreInvalid_data()
    {
        QTest::addColumn<int>("lun");
        QTest::addColumn<int>("block");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("valid");
        QTest::newRow("origin") << 0 << 0 << 0 << true;
        QTest::newRow("last page of all") << 1 << 4095 << 63 << true;
        QTest::newRow("block 4096") << 0 << 4096 << 0 << false;
        QTest::newRow("unit 2") << 2 << 0 << 0 << false;
        QTest::newRow("page 64") << 0 << 0 << 64 << false;
        QTest::newRow("everything too big") << 255 << 65535 << 255 << false;
    }

    void outOfRangeAddressesCollapseToZeroAndAreInvalid()
    {
        QFETCH(int, lun);
        QFETCH(int, block);
        QFETCH(int, page);
        QFETCH(bool, valid);
        LogCapture log;
        const FlashAddress address{quint8(lun), quint16(block), quint8(page)};
        QCOMPARE(address.isValid(), valid);
        if (valid) {
            compareAddress(address, lun, block, page);
            QVERIFY(!log.contains("invalid address"));
        } else {
            compareAddress(address, 0, 0, 0);
            QCOMPARE(log.count("Tried to initalize FlashAddress from invalid address (lun,block,page): "), 1);
        }
    }

    void packedFormRoundTrips_data()
    {
        QTest::addColumn<int>("lun");
        QTest::addColumn<int>("block");
        QTest::addColumn<int>("page");
        QTest::addColumn<quint32>("packed");
        QTest::newRow("block 2 page 3") << 0 << 2 << 3 << quint32(515);
        QTest::newRow("second unit") << 1 << 0 << 0 << (quint32(1) << 24);
        QTest::newRow("table page") << 0 << 1 << 0 << quint32(256);
        QTest::newRow("last page") << 1 << 4095 << 63 << quint32(0x010FFF3F);
    }

    void packedFormRoundTrips()
    {
        QFETCH(int, lun);
        QFETCH(int, block);
        QFETCH(int, page);
        QFETCH(quint32, packed);
        const FlashAddress address{quint8(lun), quint16(block), quint8(page)};
        QCOMPARE(address.toQuint32(), packed);
        const FlashAddress unpacked(packed);
        QVERIFY(unpacked.isValid());
        compareAddress(unpacked, lun, block, page);
    }

    void packedFormOutOfRangeIsInvalid()
    {
        LogCapture log;
        QVERIFY(!FlashAddress(quint32(0x02000000)).isValid());
        QVERIFY(!FlashAddress(quint32(0x00100000)).isValid()); // block 4096
        QVERIFY(!FlashAddress(quint32(0x00000040)).isValid()); // page 64
        QCOMPARE(log.count("invalid address"), 3);
    }

    void pageIncrementCarriesIntoBlockAndUnit_data()
    {
        QTest::addColumn<Lbp>("from");
        QTest::addColumn<Lbp>("to");
        QTest::addColumn<bool>("overflowLogged");
        QTest::newRow("within block") << Lbp{0, 10, 5} << Lbp{0, 10, 6} << false;
        QTest::newRow("into next block") << Lbp{0, 10, 63} << Lbp{0, 11, 0} << false;
        QTest::newRow("into second unit") << Lbp{0, 4095, 63} << Lbp{1, 0, 0} << false;
        QTest::newRow("past the very end") << Lbp{1, 4095, 63} << Lbp{0, 0, 0} << true;
    }

    void pageIncrementCarriesIntoBlockAndUnit()
    {
        QFETCH(Lbp, from);
        QFETCH(Lbp, to);
        QFETCH(bool, overflowLogged);
        LogCapture log;
        FlashAddress address(quint8(from.lun), quint16(from.block), quint8(from.page));
        address.incrementAddressByOnePage();
        compareAddress(address, to.lun, to.block, to.page);
        QCOMPARE(log.count("Flash address overflow."), overflowLogged ? 1 : 0);
    }

    void blockIncrementKeepsThePage_data()
    {
        QTest::addColumn<Lbp>("from");
        QTest::addColumn<Lbp>("to");
        QTest::addColumn<bool>("overflowLogged");
        QTest::newRow("plain") << Lbp{0, 10, 5} << Lbp{0, 11, 5} << false;
        QTest::newRow("into second unit") << Lbp{0, 4095, 7} << Lbp{1, 0, 7} << false;
        QTest::newRow("past the very end") << Lbp{1, 4095, 7} << Lbp{0, 0, 7} << true;
    }

    void blockIncrementKeepsThePage()
    {
        QFETCH(Lbp, from);
        QFETCH(Lbp, to);
        QFETCH(bool, overflowLogged);
        LogCapture log;
        FlashAddress address(quint8(from.lun), quint16(from.block), quint8(from.page));
        address.incrementAddressByOneBlock();
        compareAddress(address, to.lun, to.block, to.page);
        QCOMPARE(log.count("Flash address overflow."), overflowLogged ? 1 : 0);
    }

    void incrementByManyPagesWalksAcrossBlocks()
    {
        FlashAddress address(0, 1, 60);
        address.incrementAddressByPage(10);
        compareAddress(address, 0, 2, 6);
        address.incrementAddressByPage(0);
        compareAddress(address, 0, 2, 6);
        // A whole unit's worth of pages lands on the same block and page of the other unit.
        address.incrementAddressByPage(4096 * 64);
        compareAddress(address, 1, 2, 6);
    }

    void orderingFollowsUnitThenBlockThenPage()
    {
        const FlashAddress a(0, 1, 63);
        const FlashAddress b(0, 2, 0);
        const FlashAddress c(1, 0, 0);
        QVERIFY(a < b);
        QVERIFY(b < c);
        QVERIFY(a < c);
        QVERIFY(!(b < a));
        QVERIFY(!(a < a));
        QVERIFY(FlashAddress(0, 5, 5) == FlashAddress(quint32(0x0505)));
        QVERIFY(FlashAddress(0, 5, 5) != FlashAddress(0, 5, 6));
    }
};

QTEST_GUILESS_MAIN(TestFlashAddress)
#include "tst_flashaddress.moc"
