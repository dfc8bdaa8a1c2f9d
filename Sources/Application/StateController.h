#pragma once

#include <QObject>
#include <QString>

// What the user has selected in the scene (user, app, setup), stamped into
// every new measurement, and the number of device tasks still pending.
class StateController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int numMessages READ numberOfMessages NOTIFY numberOfMessagesChanged)
public:
    explicit StateController(QObject* parent = nullptr);

    QString getUser() const { return m_user; }
    QString getApp() const { return m_app; }
    QString getSetup() const { return m_setup; }
    int numberOfMessages() const { return m_setupTasks + m_dataTasks; }

public Q_SLOTS:
    void selectUser(QString UserName);
    void selectApp(QString AppName);
    void selectSetup(QString SetupName);
    void SetupTasksChanged(int number);
    void DataTasksChanged(int number);

Q_SIGNALS:
    void numberOfMessagesChanged();

private:
    QString m_user;
    QString m_app;
    QString m_setup;
    int m_setupTasks = 0;
    int m_dataTasks = 0;
};
