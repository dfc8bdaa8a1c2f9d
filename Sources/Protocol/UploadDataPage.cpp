#include "Protocol/UploadDataPage.h"

#include "Log/LogCategories.h"

#include <QDebug>

UploadDataPage::UploadDataPage(quint64 deviceSerial, quint64 measurementId)
    : ParseDataStream(deviceSerial, measurementId)
{
}

UploadDataPage::UploadDataPage(quint64 deviceSerial, quint64 measurementId, FlashAddress start, FlashAddress stop)
    : ParseDataStream(deviceSerial, measurementId)
    , currentAddress(start)
    , startAddress(start)
    , stopAddress(stop)
{
}

int UploadDataPage::pagesForNextRequest() const
{
    if (pagesPerRequest <= 1 || stopAddress < currentAddress || m_checkResume)
        return 1;
    const FlashAddress lastPage(FlashAddress::kMaxLun, FlashAddress::kMaxBlock, FlashAddress::kMaxPage);
    // The range's end is named by the page after it, which must exist.
    const quint32 room = lastPage.pageIndex() - currentAddress.pageIndex();
    const quint32 left = stopAddress.pageIndex() - currentAddress.pageIndex() + 1;
    return int(qMax<quint32>(1, qMin(qMin(quint32(pagesPerRequest), left), room)));
}

void UploadDataPage::BeforeComposeHook()
{
    okToken = QByteArrayLiteral("<SndFlashPage>");
    nokToken = QByteArrayLiteral("<NOK");
    expectedLength = kPageSize;
    pagesThisRequest = 0;
    const int pages = pagesForNextRequest();
    if (pages == 1) {
        command = QByteArrayLiteral("<GetFlashPage>");
        AddressToPayLoad(currentAddress);
    } else {
        command = QByteArrayLiteral("<GetFlashPages>");
        FlashAddress rangeEnd = currentAddress;
        rangeEnd.incrementAddressByPage(pages);
        AddressRangeToPayLoad(currentAddress, rangeEnd);
        // The answers carry the numbers after this request's; no other
        // message may take them while they are on their way.
        messageNumberGlobal = quint8(messageNumberGlobal + pages - 1);
    }
    pagesExpected = pages;
    m_pagesRequested = pages;
    if (m_asksAgain)
        ++m_retried;
    m_asksAgain = false;
    // Compose() starts the reply timer right after this.
    timeoutTimer.setInterval(m_firstPage.timeoutMs());
    m_awaitingFirstPage = true;
    m_sinceFrame.start();
    qCDebug(lcProtocol) << " Sending uploadDataPage for device : " << QString::number(deviceSerial, 16);
}

qint64 UploadDataPage::storedSamples() const
{
    return trackList ? trackList->numberOfSamples() : 0;
}

bool UploadDataPage::tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex)
{
    Q_UNUSED(endIndex)
    (m_awaitingFirstPage ? m_firstPage : m_nextPage).addSample(m_sinceFrame.restart());
    m_awaitingFirstPage = false;
    // Every page frame of the right size is an answer, with samples or
    // without; what it means is decided once it has been counted.
    m_beyondStop = stopAddress < currentAddress;
    if (m_beyondStop) {
        // A recording without data pages: whatever lies behind its header
        // belongs to nobody.
        m_pageHadSamples = false;
        return true;
    }
    const qint64 before = m_checkResume ? storedSamples() : 0;
    m_pageHadSamples = ParsePacket(window, quint64(dataStart), kPageSize);
    continueUpload = m_pageHadSamples;
    if (m_checkResume && m_pageHadSamples) {
        m_checkResume = false;
        m_rewind = storedSamples() != before;
    }
    return true;
}

bool UploadDataPage::expectsMoreResponses()
{
    return pagesExpected > 0 && !isDone;
}

void UploadDataPage::askAgain()
{
    // Frames still due from a longer run are left unread; their numbers
    // stay reserved until they are long gone.
    pagesExpected = 0;
    isDone = false;
    rescheduleRequested = true;
}

void UploadDataPage::successfullyParsedHook()
{
    if (m_finished)
        return;
    ++pagesThisRequest;
    --pagesExpected;

    if (m_rewind) {
        m_rewind = false;
        qCDebug(lcProtocol) << " Upload datapage: the stored data is older than its progress, reading from "
                            << m_firstDataPage;
        currentAddress = m_firstDataPage;
        m_emptyRepeats = 0;
        askAgain();
        Q_EMIT uploadRewound(deviceSerial, streamMeasurementId, currentAddress.toQuint32());
        return;
    }

    if (!m_pageHadSamples) {
        if (m_beyondStop || m_openEnded) {
            qCDebug(lcProtocol) << " Upload datapage without samples, end of the recording. ";
            finish();
            return;
        }
        if (m_emptyRepeats < kEmptyPageRetries) {
            ++m_emptyRepeats;
            m_asksAgain = true;
            qCDebug(lcProtocol) << " Upload datapage " << currentAddress << " came without samples, asking again.";
            askAgain();
            return;
        }
        qCDebug(lcProtocol) << " Upload datapage " << currentAddress << " stays without samples, giving up.";
        pagesExpected = 0;
        rescheduleRequested = false;
        Q_EMIT uploadPageEmpty(deviceSerial, streamMeasurementId, currentAddress.toQuint32());
        giveUp();
        return;
    }

    m_emptyRepeats = 0;
    ++pagesStored;
    // Twenty time-outs in a row end the reader, not twenty over a long
    // upload: a page that arrived shows the line still carries.
    timeoutCount = 0;
    Q_EMIT uploadPageDone(deviceSerial, streamMeasurementId, currentAddress.toQuint32());
    const bool next = currentAddress < stopAddress;
    qCDebug(lcProtocol) << " Upload a next Page? " << (next ? "true" : "false");
    if (!next) {
        pagesExpected = 0;
        finish();
        return;
    }
    currentAddress.incrementAddressByOnePage();
    isDone = false;
    if (pagesExpected > 0) {
        // The next page of the run comes in the frame numbered one higher;
        // it gets a reply time of its own.
        ++messageNumber;
        rescheduleRequested = false;
        timeoutTimer.start(m_nextPage.timeoutMs());
        return;
    }
    // A whole run came through; a run length cut down by losses grows back.
    if (pagesThisRequest == m_pagesRequested && pagesPerRequest < m_longestRun
        && ++m_cleanRuns >= kCleanRunsBeforeLonger) {
        m_cleanRuns = 0;
        pagesPerRequest = qMin(m_longestRun, pagesPerRequest * 2);
    }
    rescheduleRequested = true;
}

void UploadDataPage::failedToParseHook()
{
    // Every page frame is taken by tryToParseResponseData(); nothing to do.
}

void UploadDataPage::messageTimeoutHook()
{
    // The run is asked for again from its first missing page. A link that
    // lost every frame of a run cannot carry runs that long: shorter ones
    // will get through.
    if (pagesThisRequest == 0 && pagesPerRequest > 1)
        pagesPerRequest = qMax(1, pagesPerRequest / 2);
    (m_awaitingFirstPage ? m_firstPage : m_nextPage).backOff();
    ++m_timedOut;
    m_asksAgain = true;
    m_cleanRuns = 0;
    pagesExpected = 0;
    ParseDataStream::messageTimeoutHook();
}

void UploadDataPage::messageFailedHook()
{
    // A refusal is answered by asking again with the next send pass, not
    // after a reply time. One that keeps coming counts like a time-out.
    if (!hasFailed) {
        ++m_refused;
        m_asksAgain = true;
        pagesExpected = 0;
        timeoutTimer.stop();
        if (++timeoutCount >= maxTries) {
            giveUp();
            return;
        }
        retryPending = true;
    }
    ParseDataStream::messageFailedHook();
}

void UploadDataPage::finish()
{
    // Once: later windows may still hold the last frame.
    if (m_finished)
        return;
    m_finished = true;
    rescheduleRequested = false;
    isDone = true;
    timeoutTimer.stop();
    Q_EMIT messageDone(deviceSerial);
    Q_EMIT uploadDone(deviceSerial, streamMeasurementId);
}

void UploadDataPage::disposalHook()
{
    timeoutTimer.stop();
    if (!isDone) {
        qCDebug(lcProtocol) << " Upload datapage was aborted: " << this;
        Q_EMIT messageAborted(deviceSerial);
        Q_EMIT uploadAborted(deviceSerial, streamMeasurementId);
    }
    deleteLater();
}

void UploadDataPage::setMeasurementId(quint64 measurementId)
{
    streamMeasurementId = measurementId;
}

void UploadDataPage::setStartAddress(FlashAddress address)
{
    startAddress = address;
    currentAddress = address;
    continueUpload = true;
}

void UploadDataPage::setStartAddress(quint32 packed)
{
    setStartAddress(FlashAddress(packed));
    qCDebug(lcProtocol) << " UploadDataPage start and current Address: " << packed;
}

void UploadDataPage::setStopAddress(FlashAddress address)
{
    stopAddress = address;
}

void UploadDataPage::setStopAddress(quint32 packed)
{
    stopAddress = FlashAddress(packed);
}

void UploadDataPage::setResumeCheck(FlashAddress firstDataPage)
{
    m_firstDataPage = firstDataPage;
    m_checkResume = firstDataPage != currentAddress;
}

void UploadDataPage::setPagesPerRequest(int pages)
{
    pagesPerRequest = qBound(1, pages, kMaxPagesPerRequest);
    m_longestRun = pagesPerRequest;
    m_cleanRuns = 0;
}
