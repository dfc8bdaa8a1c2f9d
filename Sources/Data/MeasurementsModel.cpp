#include "Data/MeasurementsModel.h"

#include "Data/Measurement.h"
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
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> MeasurementsModel::roleNames() const
{
    return {
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
