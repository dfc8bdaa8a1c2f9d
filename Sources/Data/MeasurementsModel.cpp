#include "Data/MeasurementsModel.h"

#include "Data/Measurement.h"
#include "Data/MeasurementController.h"
#include "Log/LogCategories.h"

#include <QDebug>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

qint64 orderKey(Storable* item)
{
    const auto* measurement = qobject_cast<Measurement*>(item);
    return measurement != nullptr ? measurement->startTimeOrderKey() : std::numeric_limits<qint64>::min();
}

} // namespace

MeasurementsModel::MeasurementsModel(QObject* parent)
    : StandardModel(parent)
{
}

QVariant MeasurementsModel::data(const QModelIndex& index, int role) const
{
    const Measurement* measurement = getMeasurement(index.isValid() ? index.row() : -1);
    if (measurement == nullptr)
        return QVariant();
    switch (role) {
    case MeasurementIDRole:
        return QString::number(measurement->getMeasurementID(), 16);
    case SizeRole:
        return measurement->getSize();
    case UserNameRole:
        return measurement->getUserName();
    case AppNameRole:
        return measurement->getAppName();
    case SetupNameRole:
        return measurement->getSetupName();
    case StartTimeRole:
        return measurement->getStartTimeString();
    case IsLiveViewRole:
        return measurement->isLiveView();
    case DayRole:
        return measurement->getStartTime().toString(QStringLiteral("yyyy-MM-dd"));
    case StartTimeTextRole:
        return measurement->getStartTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    case OnHostRole:
    case UploadStateRole: {
        if (!m_hostLookup)
            return QVariant();
        // Remembered as shown, so that a refresh tells only of changes.
        const UploadState state = uploadState(measurement);
        m_shownStates.insert(measurement->getMeasurementID(), state);
        if (role == OnHostRole)
            return state != UploadState::NotUploaded;
        return uploadStateText(state);
    }
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> MeasurementsModel::roleNames() const
{
    QHash<int, QByteArray> names {
        { MeasurementIDRole, QByteArrayLiteral("MeasurementID") },
        { SizeRole, QByteArrayLiteral("Size") },
        { UserNameRole, QByteArrayLiteral("UserName") },
        { AppNameRole, QByteArrayLiteral("AppName") },
        { SetupNameRole, QByteArrayLiteral("SetupName") },
        { StartTimeRole, QByteArrayLiteral("StartTime") },
        { IsLiveViewRole, QByteArrayLiteral("IsLiveView") },
        { DayRole, QByteArrayLiteral("Day") },
        { StartTimeTextRole, QByteArrayLiteral("StartTimeText") },
    };
    // Only a sensor's list knows of a host copy.
    if (m_hostLookup) {
        names.insert(OnHostRole, QByteArrayLiteral("OnHost"));
        names.insert(UploadStateRole, QByteArrayLiteral("UploadState"));
    }
    return names;
}

void MeasurementsModel::setDeviceSerial(quint64 serial, HostLookup hostLookup)
{
    m_deviceSerial = serial;
    m_hostLookup = std::move(hostLookup);
}

MeasurementsModel::UploadState MeasurementsModel::uploadState(const Measurement* listed) const
{
    if (listed == nullptr || !m_hostLookup)
        return UploadState::NotUploaded;
    const Measurement* host = m_hostLookup(listed->getMeasurementID());
    // A recording's host copy exists from its start; only pages stored
    // from this sensor put any of it on the host.
    if (host == nullptr || !host->hasLastUploadAddress(m_deviceSerial))
        return UploadState::NotUploaded;
    const quint32 stop = listed->getStopAddress(m_deviceSerial);
    // Whole only up to the stop page of the recording the sensor lists:
    // progress of another recording under the same id does not count.
    const bool sameRecording = host->getStartAddress(m_deviceSerial) == listed->getStartAddress(m_deviceSerial)
        && host->getStopAddress(m_deviceSerial) == stop;
    if (sameRecording && stop != MeasurementController::kOpenStopAddress && !(host->getLastUploadAddress(m_deviceSerial) < stop))
        return UploadState::Uploaded;
    return UploadState::PartlyUploaded;
}

QString MeasurementsModel::uploadStateText(UploadState state)
{
    switch (state) {
    case UploadState::Uploaded:
        return tr("uploaded");
    case UploadState::PartlyUploaded:
        return tr("partly uploaded");
    case UploadState::NotUploaded:
        break;
    }
    return tr("not uploaded");
}

void MeasurementsModel::refreshUploadState(quint64 measurementId)
{
    for (int row = 0; row < m_items.size(); ++row) {
        const Measurement* listed = getMeasurement(row);
        if (listed == nullptr || listed->getMeasurementID() != measurementId)
            continue;
        const UploadState state = uploadState(listed);
        const auto shown = m_shownStates.constFind(measurementId);
        if (shown != m_shownStates.cend() && shown.value() == state)
            return;
        m_shownStates.insert(measurementId, state);
        const QModelIndex changed = index(row, 0);
        Q_EMIT dataChanged(changed, changed, {OnHostRole, UploadStateRole});
        return;
    }
}

Measurement* MeasurementsModel::getMeasurement(int row) const
{
    if (row < 0 || row >= m_items.size())
        return nullptr;
    return qobject_cast<Measurement*>(m_items.at(row));
}

bool MeasurementsModel::orderMeasurementsOperator(Storable* a, Storable* b)
{
    const auto* first = qobject_cast<Measurement*>(a);
    const auto* second = qobject_cast<Measurement*>(b);
    if (first == nullptr || second == nullptr)
        return false;
    return second->startTimeOrderKey() < first->startTimeOrderKey();
}

void MeasurementsModel::reorder()
{
    qCDebug(lcData) << "Before ordering Measurements Model";
    // Sorting by keys taken once keeps the comparison a strict weak order
    // (also for items without a start time) and cheap; a stable sort keeps
    // a just-prepended measurement in front of older ones of the same time.
    std::vector<std::pair<qint64, Storable*>> keyed;
    keyed.reserve(static_cast<size_t>(m_items.size()));
    for (Storable* item : qAsConst(m_items))
        keyed.emplace_back(orderKey(item), item);
    const auto newerFirst = [](const std::pair<qint64, Storable*>& a, const std::pair<qint64, Storable*>& b) {
        return b.first < a.first;
    };
    if (!std::is_sorted(keyed.begin(), keyed.end(), newerFirst)) {
        std::stable_sort(keyed.begin(), keyed.end(), newerFirst);
        Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const QModelIndexList before = persistentIndexList();
        QList<Storable*> sorted;
        sorted.reserve(static_cast<int>(keyed.size()));
        for (const auto& entry : keyed)
            sorted.append(entry.second);
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& index : before) {
            const int row = sorted.indexOf(m_items.value(index.row()));
            after.append(row < 0 ? QModelIndex() : this->index(row, index.column(), index.parent()));
        }
        m_items = sorted;
        changePersistentIndexList(before, after);
        Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }
    qCDebug(lcData) << "After ordering Measurements Model";
}
