#pragma once

#include "Protocol/FlashAddress.h"
#include "Protocol/ParseDataStream.h"
#include "Protocol/ReplyTimeEstimate.h"

#include <QElapsedTimer>

// Reads a recorded measurement's data pages from flash, from the start to the
// stop address (both included), storing every page's sample groups. Between
// requests it goes back to the end of its device's queue.
//
// It is done only once the stop page has been stored. A page before that
// which holds no samples is a fault (the sensor may have read its flash
// wrongly, or the page was lost): it is asked for again, and when it stays
// empty the reader gives up and reports which page it was. Only a recording
// that the sensor lists without a stop address ends at its first empty page.
//
// By default each request asks for one page. On links where the reply delay
// costs more than a page takes to arrive, a request may ask for a run of
// pages instead: the sensor answers with one page frame per page, numbered
// on from the request's own number. Those numbers are kept from other
// messages while the run is on its way, and a run that breaks off (a lost
// frame) is asked for again from its first missing page. A link that loses
// whole runs gets shorter ones, and longer ones again once runs come through.
//
// How long the reader waits for a page is learnt from the link: the time to
// the first page of a request and between pages are measured, so a lost
// reply on a cable costs milliseconds, not the fixed reply time. A refused
// request is asked again at once. Twenty time-outs or refusals in a row,
// without a page stored in between, end it.
class UploadDataPage : public ParseDataStream
{
    Q_OBJECT
public:
    static constexpr int kPageSize = 2048;
    // The most pages one request may name; more is refused by the sensors.
    static constexpr int kMaxPagesPerRequest = 64;
    // How often a page that came without samples is asked for again before
    // the reader gives up on it.
    static constexpr int kEmptyPageRetries = 2;
    // Complete runs in a row after which a shortened run length doubles.
    static constexpr int kCleanRunsBeforeLonger = 4;

    UploadDataPage(quint64 deviceSerial, quint64 measurementId);
    UploadDataPage(quint64 deviceSerial, quint64 measurementId, FlashAddress start, FlashAddress stop);

    void BeforeComposeHook() override;
    // Pages go over the cable when the sensor has one as well.
    bool prefersFastLink() const override { return true; }
    bool tryToParseResponseData(const QByteArray& window, int dataStart, int endIndex) override;
    void successfullyParsedHook() override;
    void failedToParseHook() override;
    void messageTimeoutHook() override;
    void messageFailedHook() override;
    void disposalHook() override;
    bool expectsMoreResponses() override;

    void setMeasurementId(quint64 measurementId);
    void setStartAddress(FlashAddress address);
    void setStartAddress(quint32 packed);
    void setStopAddress(FlashAddress address);
    void setStopAddress(quint32 packed);
    // The sensor lists the recording without a stop address: its data ends
    // at the first page without samples.
    void setOpenEnded(bool openEnded) { m_openEnded = openEnded; }
    // The start address is where an earlier upload left off, and its page
    // claims to be stored already. When reading it adds samples that were
    // not there, what is stored is older than its progress: the reader goes
    // back to `firstDataPage` and reads everything, before anything else.
    void setResumeCheck(FlashAddress firstDataPage);
    // 1 (the default) to kMaxPagesPerRequest; also the longest run the
    // reader grows back to after it had to shorten its runs.
    void setPagesPerRequest(int pages);
    int getPagesPerRequest() const { return pagesPerRequest; }

    FlashAddress getCurrentAddress() const { return currentAddress; }
    FlashAddress getStartAddress() const { return startAddress; }
    FlashAddress getStopAddress() const { return stopAddress; }
    // Pages stored since this reader was made.
    quint32 getPagesStored() const { return pagesStored; }
    // Since this reader was made: requests sent again because the one
    // before was not answered in time, refused, broken off or came without
    // samples; requests not answered in time; requests the sensor refused.
    int requestsRetried() const { return m_retried; }
    int requestsTimedOut() const { return m_timedOut; }
    int requestsRefused() const { return m_refused; }
    // Whether the reader reached the end of the recording.
    bool isComplete() const { return m_finished; }
    // The current wait for the first page of a request, and for the next
    // page of a run.
    int firstPageTimeoutMs() const { return m_firstPage.timeoutMs(); }
    int nextPageTimeoutMs() const { return m_nextPage.timeoutMs(); }

Q_SIGNALS:
    void uploadPageDone(quint64 DeviceSerial, quint64 MeasurementId, quint32 Address);
    void uploadDone(quint64 DeviceSerial, quint64 MeasurementId);
    void uploadAborted(quint64 DeviceSerial, quint64 MeasurementId);
    // A page before the stop address stayed without samples; the reader
    // has given up there.
    void uploadPageEmpty(quint64 DeviceSerial, quint64 MeasurementId, quint32 Address);
    // The resume check found the stored data older than its progress; the
    // reader starts again at this page.
    void uploadRewound(quint64 DeviceSerial, quint64 MeasurementId, quint32 Address);

private:
    void finish();
    void askAgain();
    // How many pages the next request names: the run length, cut at the
    // stop address and at the end of the flash.
    int pagesForNextRequest() const;
    qint64 storedSamples() const;

    FlashAddress currentAddress;
    FlashAddress startAddress;
    FlashAddress stopAddress;
    bool continueUpload = true;
    int pagesPerRequest = 1;
    int m_longestRun = 1;
    int m_cleanRuns = 0;
    // Page frames of the current request still to come.
    int pagesExpected = 0;
    // Pages that arrived for the current request, and how many it named.
    int pagesThisRequest = 0;
    int m_pagesRequested = 0;
    quint32 pagesStored = 0;
    bool m_openEnded = false;
    bool m_finished = false;
    // What the latest page reply held.
    bool m_pageHadSamples = false;
    bool m_beyondStop = false;
    int m_emptyRepeats = 0;
    bool m_checkResume = false;
    bool m_rewind = false;
    FlashAddress m_firstDataPage;
    ReplyTimeEstimate m_firstPage;
    ReplyTimeEstimate m_nextPage;
    QElapsedTimer m_sinceFrame;
    bool m_awaitingFirstPage = false;
    // The next request asks again for what the last one did not bring.
    bool m_asksAgain = false;
    int m_retried = 0;
    int m_timedOut = 0;
    int m_refused = 0;
};
