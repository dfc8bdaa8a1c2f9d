#pragma once

#include <QSortFilterProxyModel>
#include <QString>
#include <QVariantList>

// The measurements of a list that match what the scene asks for: one
// athlete, one app, one day, with or without live views. Empty texts match
// everything. Works on any model with the roles of MeasurementsModel
// ("MeasurementID", "UserName", "AppName", "Day", "IsLiveView").
class MeasurementFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT
    Q_PROPERTY(QString userName READ userName WRITE setUserName NOTIFY userNameChanged)
    Q_PROPERTY(QString appName READ appName WRITE setAppName NOTIFY appNameChanged)
    Q_PROPERTY(QString day READ day WRITE setDay NOTIFY dayChanged)
    Q_PROPERTY(bool liveViews READ liveViews WRITE setLiveViews NOTIFY liveViewsChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    explicit MeasurementFilterModel(QObject* parent = nullptr);

    QString userName() const { return m_userName; }
    void setUserName(const QString& name);
    QString appName() const { return m_appName; }
    void setAppName(const QString& name);
    // "yyyy-MM-dd"
    QString day() const { return m_day; }
    void setDay(const QString& day);
    bool liveViews() const { return m_liveViews; }
    void setLiveViews(bool include);

    int count() const { return rowCount(); }
    // The measurement id of a row that passes, "" outside the rows.
    Q_INVOKABLE QString idAt(int row) const;
    // The ids of every row that passes, in list order.
    Q_INVOKABLE QVariantList ids() const;

Q_SIGNALS:
    void userNameChanged();
    void appNameChanged();
    void dayChanged();
    void liveViewsChanged();
    void countChanged();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    void refilter();
    int sourceRole(const char* name) const;

    QString m_userName;
    QString m_appName;
    QString m_day;
    bool m_liveViews = true;
    int m_lastCount = 0;
};
