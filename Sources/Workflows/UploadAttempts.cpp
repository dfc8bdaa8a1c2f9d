#include "Workflows/UploadAttempts.h"

#include "Application/Helper.h"
#include "Protocol/FlashAddress.h"

#include <QObject>

QString UploadAttempts::pageText(quint32 packed)
{
    const FlashAddress address(packed);
    return QObject::tr("unit %1, block %2, page %3").arg(address.getLun()).arg(address.getBlock()).arg(address.getPage());
}

UploadAttempts::Verdict UploadAttempts::judge(quint64 serial, const ActiveUploads::Upload& ended, bool deviceOnline)
{
    const quint64 id = ended.measurementId;
    const Key key(serial, id);
    Verdict verdict;
    if (ended.emptyPageFound) {
        QPair<quint32, int> stops = m_emptyPageStops.value(key, qMakePair(ended.emptyPage, 0));
        if (stops.first != ended.emptyPage)
            stops = qMakePair(ended.emptyPage, 0);
        ++stops.second;
        m_emptyPageStops.insert(key, stops);
        const QString where = pageText(ended.emptyPage);
        if (stops.second >= kMaxAttempts)
            verdict.giveUpReason = QObject::tr("The upload of measurement %1 from sensor %2 stopped at %3: the sensor "
                                               "sends that page without data. What was uploaded is kept; it is not "
                                               "complete.")
                                       .arg(Helper::idText(id), Helper::idText(serial), where);
        else
            verdict.retryWarning = QObject::tr("Sensor %1 sent %2 of measurement %3 without data; the upload is tried "
                                               "again.")
                                       .arg(Helper::idText(serial), where, Helper::idText(id));
    } else if (ended.pagesStored > 0) {
        m_fruitless.remove(key);
    } else if (deviceOnline) {
        const int attempts = m_fruitless.value(key, 0) + 1;
        m_fruitless.insert(key, attempts);
        if (attempts >= kMaxAttempts)
            verdict.giveUpReason = QObject::tr("The upload of measurement %1 from sensor %2 failed: the sensor does "
                                               "not deliver its data.")
                                       .arg(Helper::idText(id), Helper::idText(serial));
    }
    if (!verdict.giveUpReason.isEmpty())
        forget(serial, id);
    return verdict;
}

void UploadAttempts::forget(quint64 serial, quint64 measurementId)
{
    const Key key(serial, measurementId);
    m_fruitless.remove(key);
    m_emptyPageStops.remove(key);
}
