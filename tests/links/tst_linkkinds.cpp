#include "Links/BTinterface.h"
#include "Links/Blueman.h"
#include "Links/USBinterface.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

namespace {

const quint64 kSensorAddress = 0x001122AABBCCull;

std::unique_ptr<RemoteInterface> makeLink(const QString& kind, Blueman* blueman)
{
    if (kind == QLatin1String("usb"))
        return std::make_unique<USBinterface>(QStringLiteral("ttyUSB0"));
    return std::make_unique<BTinterface>(kSensorAddress, blueman);
}

} // namespace

// What the link manager relies on, for both kinds of link, before either is
// connected to anything.
class TestLinkKinds : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void eachKindNamesAndRanksItself_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("rank");
        QTest::addColumn<QString>("identifier");
        QTest::newRow("usb") << "usb" << 3 << "ttyUSB0";
        QTest::newRow("bluetooth") << "bluetooth" << 2 << "1122aabbcc";
    }

    void eachKindNamesAndRanksItself()
    {
        QFETCH(QString, kind);
        QFETCH(int, rank);
        QFETCH(QString, identifier);
        Blueman blueman;
        std::unique_ptr<RemoteInterface> link = makeLink(kind, &blueman);
        QCOMPARE(link->type(), kind);
        QCOMPARE(link->Rank(), rank);
        QCOMPARE(link->identifier(), identifier);
        QVERIFY(!link->isConnected());
        QElapsedTimer timer;
        timer.start();
        QVERIFY(link->read().isEmpty());
        QVERIFY(timer.elapsed() < 100);
    }

    void linksOfDifferentKindsToOneSensorHaveDifferentIdentifiers()
    {
        Blueman blueman;
        const std::unique_ptr<RemoteInterface> usb = makeLink(QStringLiteral("usb"), &blueman);
        const std::unique_ptr<RemoteInterface> bluetooth = makeLink(QStringLiteral("bluetooth"), &blueman);
        QVERIFY(usb->identifier() != bluetooth->identifier());
        // Bluetooth is preferred: the manager takes the lowest rank.
        QVERIFY(bluetooth->Rank() < usb->Rank());
    }
};

QTEST_GUILESS_MAIN(TestLinkKinds)
#include "tst_linkkinds.moc"
