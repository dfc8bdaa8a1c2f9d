#include "Data/MeasurementFilterModel.h"

MeasurementFilterModel::MeasurementFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
    // The count follows whatever changes the rows: the filter, or the list.
    const auto recount = [this]() {
        if (rowCount() == m_lastCount)
            return;
        m_lastCount = rowCount();
        Q_EMIT countChanged();
    };
    connect(this, &QAbstractItemModel::rowsInserted, this, recount);
    connect(this, &QAbstractItemModel::rowsRemoved, this, recount);
    connect(this, &QAbstractItemModel::modelReset, this, recount);
    connect(this, &QAbstractItemModel::layoutChanged, this, recount);
}

void MeasurementFilterModel::setUserName(const QString& name)
{
    if (name == m_userName)
        return;
    m_userName = name;
    Q_EMIT userNameChanged();
    refilter();
}

void MeasurementFilterModel::setAppName(const QString& name)
{
    if (name == m_appName)
        return;
    m_appName = name;
    Q_EMIT appNameChanged();
    refilter();
}

void MeasurementFilterModel::setDay(const QString& day)
{
    if (day == m_day)
        return;
    m_day = day;
    Q_EMIT dayChanged();
    refilter();
}

void MeasurementFilterModel::setLiveViews(bool include)
{
    if (include == m_liveViews)
        return;
    m_liveViews = include;
    Q_EMIT liveViewsChanged();
    refilter();
}

void MeasurementFilterModel::refilter()
{
    invalidateFilter();
    if (rowCount() != m_lastCount) {
        m_lastCount = rowCount();
        Q_EMIT countChanged();
    }
}

int MeasurementFilterModel::sourceRole(const char* name) const
{
    const QAbstractItemModel* source = sourceModel();
    return source != nullptr ? source->roleNames().key(QByteArray(name), -1) : -1;
}

bool MeasurementFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QAbstractItemModel* source = sourceModel();
    if (source == nullptr)
        return false;
    const QModelIndex index = source->index(sourceRow, 0, sourceParent);
    const auto text = [&](const char* role) { return source->data(index, sourceRole(role)).toString(); };
    if (!m_userName.isEmpty() && text("UserName") != m_userName)
        return false;
    if (!m_appName.isEmpty() && text("AppName") != m_appName)
        return false;
    if (!m_day.isEmpty() && text("Day") != m_day)
        return false;
    if (!m_liveViews && source->data(index, sourceRole("IsLiveView")).toBool())
        return false;
    return true;
}

QString MeasurementFilterModel::idAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return QString();
    return data(index(row, 0), sourceRole("MeasurementID")).toString();
}

QVariantList MeasurementFilterModel::ids() const
{
    QVariantList result;
    for (int row = 0; row < rowCount(); ++row)
        result.append(idAt(row));
    return result;
}
