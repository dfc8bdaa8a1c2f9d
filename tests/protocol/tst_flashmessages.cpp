#include "Protocol/DeleteFlashBlock.h"
#include "Protocol/GetFlashPage.h"
#include "Protocol/GetFlashPages.h"
#include "Protocol/UploadMAT.h"

#include "LogCapture.h"
#include "WireBytes.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

using namespace WireBytes;

namespace {

constexpr int kPage = 2048;

// One allocation-table entry: id and start under one CRC, stop under another.
QByteArray matEntry(quint64 id, quint32 start, quint32 stop, bool complete = true)
{
    QByteArray stopPart = withCrc(u32(stop));
    if (!complete)
        stopPart = u32(0xFFFFFFFF) + u16(0xFFFF); // not written yet
    return withCrc(u64(id) + u32(start)) + stopPart;
}

QByteArray erasedTo(QByteArray page)
{
    return page + QByteArray(kPage - page.size(), '\xFF');
}

QByteArray composeAs(Message& message, quint8 number)
{
    Message::messageNumberGlobal = number;
    return message.Compose();
}


} // namespace

class TestFlashMessages : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void tableReadAsksForTheTablePage()
    {
        UploadMAT mat(0xD1, FlashAddress(0, 1, 0));
        QCOMPARE(composeAs(mat, 0x41), request(0x41, "<GetFlashPage>", bytes({0x00, 0x00, 0x01, 0x00})));
        QCOMPARE(mat.getExpectedLength(), kPage);
    }

    void tableEntriesAreReportedInTableOrderUntilErasedBytes()
    {
        UploadMAT mat(0xD1, FlashAddress(0, 1, 0));
        QSignalSpy started(&mat, &UploadMAT::foundStartedMeasurement);
        QSignalSpy complete(&mat, &UploadMAT::foundCompleteMeasurement);
        QSignalSpy finished(&mat, &UploadMAT::parsingOfMATcomplete);
        QSignalSpy done(&mat, &Message::messageDone);
        QList<QString> order;
        connect(&mat, &UploadMAT::foundCompleteMeasurement, this,
                [&](quint64, quint64 id) { order << QStringLiteral("complete %1").arg(id); });
        connect(&mat, &UploadMAT::foundStartedMeasurement, this,
                [&](quint64, quint64 id) { order << QStringLiteral("started %1").arg(id); });
        connect(&mat, &UploadMAT::parsingOfMATcomplete, this, [&] { order << QStringLiteral("end"); });

        // A valid entry after the erased one must not be reported.
        const QByteArray page = erasedTo(matEntry(11, 0x0200, 0x0310) + matEntry(12, 0x0311, 0x0500)
                                         + matEntry(13, 0x0501, 0, false) + QByteArray(20, '\xFF')
                                         + matEntry(14, 0x0600, 0x0700));
        composeAs(mat, 0x42);
        QVERIFY(mat.tryToParse(frame(0x42, "<SndFlashPage>", page), 0));

        QCOMPARE(order, (QList<QString>{"complete 11", "complete 12", "started 13", "end"}));
        QCOMPARE(complete.count(), 2);
        QCOMPARE(complete.at(0), (QList<QVariant>{quint64(0xD1), quint64(11), quint32(0x0200), quint32(0x0310)}));
        QCOMPARE(complete.at(1).at(3).toUInt(), 0x0500u);
        QCOMPARE(started.count(), 1);
        QCOMPARE(started.at(0), (QList<QVariant>{quint64(0xD1), quint64(13), quint32(0x0501)}));
        QCOMPARE(finished.count(), 1);
        QVERIFY(mat.done());
        QCOMPARE(done.count(), 1);
    }

    void fullTableEndsAtThePageEnd()
    {
        // 102 entries fill 2040 bytes; the 8 bytes left and the frame's end
        // token after them are no entry, whatever they hold.
        QByteArray page;
        for (int i = 0; i < 102; ++i)
            page += matEntry(quint64(i + 1), quint32(i), quint32(i + 1));
        page += u64(0);
        QCOMPARE(page.size(), kPage);
        UploadMAT mat(1, FlashAddress(0, 1, 0));
        QSignalSpy complete(&mat, &UploadMAT::foundCompleteMeasurement);
        QSignalSpy started(&mat, &UploadMAT::foundStartedMeasurement);
        composeAs(mat, 0x43);
        QVERIFY(mat.tryToParse(frame(0x43, "<SndFlashPage>", page) + QByteArray(64, '\0'), 0));
        QCOMPARE(complete.count(), 102);
        QCOMPARE(started.count(), 0);
    }

    void tableReplyOfWrongLengthOrRejectedIsNotAccepted()
    {
        UploadMAT mat(1, FlashAddress(0, 1, 0));
        QSignalSpy finished(&mat, &UploadMAT::parsingOfMATcomplete);
        QSignalSpy failed(&mat, &Message::messageFailed);
        composeAs(mat, 0x44);
        QVERIFY(!mat.tryToParse(frame(0x44, "<SndFlashPage>", QByteArray(kPage - 1, '\xFF')), 0));
        QVERIFY(!mat.tryToParse(frame(0x44, "<SndFlashPage>", QByteArray(kPage + 1, '\xFF')), 0));
        QCOMPARE(finished.count(), 0);
        // The page readers accept any rejection form that starts with "<NOK".
        QVERIFY(!mat.tryToParse(frame(0x44, "<NOK>"), 0));
        QCOMPARE(failed.count(), 1);
        // A refusal that stays in the window is reported once per transmission.
        QVERIFY(!mat.tryToParse(frame(0x44, "<NOK>"), 0));
        QCOMPARE(failed.count(), 1);
        composeAs(mat, 0x45);
        QVERIFY(!mat.tryToParse(frame(0x45, "<NOK_BUSY>"), 0));
        QCOMPARE(failed.count(), 2);
        QVERIFY(!mat.done());
        QVERIFY(!mat.failed());
    }

    void tableReaderSurvivesDisposalAndIsReused()
    {
        auto* mat = new UploadMAT(0xA, FlashAddress(0, 1, 0));
        QPointer<UploadMAT> guard(mat);
        QSignalSpy aborted(mat, &Message::messageAborted);
        mat->Compose();
        mat->disposalHook();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard);
        QCOMPARE(aborted.count(), 0);
        QVERIFY(!mat->isWaitingForReply());

        // Reuse for another device after a finished read.
        composeAs(*mat, 0x45);
        QVERIFY(mat->tryToParse(frame(0x45, "<SndFlashPage>", erasedTo({})), 0));
        QVERIFY(mat->done());
        mat->reset();
        mat->setSerial(0xB);
        QVERIFY(!mat->done());
        QSignalSpy finished(mat, &UploadMAT::parsingOfMATcomplete);
        composeAs(*mat, 0x46);
        QVERIFY(mat->tryToParse(frame(0x46, "<SndFlashPage>", erasedTo({})), 0));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toULongLong(), quint64(0xB));
        delete mat;
    }

    void eraseWalksBlockByBlockToTheStop()
    {
        LogCapture log;
        DeleteFlashBlock erase(0xE, FlashAddress(0, 1, 0), FlashAddress(0, 3, 0));
        QSignalSpy done(&erase, &Message::messageDone);
        QSignalSpy erased(&erase, &DeleteFlashBlock::blockErased);
        QCOMPARE(erase.blocksTotal(), 3);
        QCOMPARE(erase.iterationsNeeded(), 2 * 256);
        QCOMPARE(erase.iterationsLeft(), 2 * 256);

        QList<QByteArray> requests;
        for (int round = 0; round < 10 && !erase.done(); ++round) {
            const quint8 number = quint8(0x50 + round);
            requests << composeAs(erase, number);
            QVERIFY(erase.tryToParse(frame(number, "<OK>"), 0));
            if (!erase.done())
                QVERIFY(erase.reschedule());
        }
        QCOMPARE(requests, (QList<QByteArray>{request(0x50, "<DeleteBlock>", bytes({0, 0, 1, 0})),
                                              request(0x51, "<DeleteBlock>", bytes({0, 0, 2, 0})),
                                              request(0x52, "<DeleteBlock>", bytes({0, 0, 3, 0}))}));
        QVERIFY(erase.done());
        QVERIFY(!erase.reschedule());
        // Each block is reported, and the end once, after the last one.
        QCOMPARE(erased.count(), 3);
        QCOMPARE(erase.blocksErased(), 3);
        QCOMPARE(done.count(), 1);
        QCOMPARE(erase.iterationsLeft(), 0);
        QCOMPARE(log.count(" Deleted flash lun / block: "), 3);
    }

    void eraseCountsAUnitChangeAsTheDistanceOfThePackedAddresses()
    {
        DeleteFlashBlock erase(1, FlashAddress(0, 1, 0), FlashAddress(1, 4095, 0));
        QCOMPARE(erase.blocksTotal(), 2 * 4096 - 1); // every block but unit 0, block 0
        QCOMPARE(erase.iterationsNeeded(), (1 << 24) + 4095 * 256 - 256);
        QCOMPARE(erase.iterationsLeft(), erase.iterationsNeeded());
    }

    void eraseStopsAtTheEndOfTheFlashInsteadOfStartingOver()
    {
        // The stop lies on a later page of the very last block: stepping a
        // block further would wrap to block 0 of unit 0, still "before" the stop.
        DeleteFlashBlock erase(1, FlashAddress(1, 4094, 0), FlashAddress(1, 4095, 5));
        QSet<quint32> blocks;
        for (int round = 0; round < 5 && !erase.done(); ++round) {
            const QByteArray sent = composeAs(erase, quint8(0x60 + round));
            blocks << quint32(quint8(sent.at(19)) << 16 | quint8(sent.at(20)) << 8 | quint8(sent.at(21)));
            erase.tryToParse(frame(quint8(0x60 + round), "<OK>"), 0);
        }
        QVERIFY(erase.done());
        QCOMPARE(blocks, (QSet<quint32>{0x010FFE, 0x010FFF}));
    }

    void singlePageReaderKeepsThePage()
    {
        GetFlashPage read(3, FlashAddress(1, 0x0102, 7), FlashAddress(1, 0x0102, 9));
        QCOMPARE(composeAs(read, 0x61), request(0x61, "<GetFlashPage>", bytes({0x01, 0x01, 0x02, 0x07})));
        QByteArray page(kPage, '\0');
        for (int i = 0; i < kPage; ++i)
            page[i] = char(i * 7);
        QVERIFY(!read.tryToParse(frame(0x61, "<NOK>"), 0));
        QVERIFY(read.tryToParse(frame(0x61, "<SndFlashPage>", page), 0));
        QVERIFY(read.done());
        QCOMPARE(read.getPage(), page);
    }

    void multiPageReaderSendsNoRange()
    {
        GetFlashPages read(3, FlashAddress(0, 2, 0), FlashAddress(0, 4, 0));
        QCOMPARE(composeAs(read, 0x62), request(0x62, "<GetFlashPages>", QByteArray()));
        QVERIFY(!read.tryToParse(frame(0x62, "<SndFlashPage>", QByteArray(kPage, 'x')), 0));
        QVERIFY(read.tryToParse(frame(0x62, "<SndFlashPages>", QByteArray(kPage, 'x')), 0));
        QVERIFY(read.done());
    }
};

QTEST_GUILESS_MAIN(TestFlashMessages)
#include "tst_flashmessages.moc"
