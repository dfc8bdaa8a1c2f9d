#pragma once

#include <QObject>
#include <QString>

// What the user has selected in the scene (user, app, setup), stamped into
// every new measurement, and the number of device tasks still pending.
class StateController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int numMessages READ numberOfMessages NOTIFY numberOfMessagesChanged)
    Q_PROPERTY(QString selectedUser READ getUser NOTIFY selectedUserChanged)
public:
    explicit StateController(QObject* parent = nullptr);

    // Where the selected athlete is kept between runs; nothing is kept
    // while it is empty.
    void setSelectionFile(const QString& path) { m_selectionFile = path; }
    // The athlete selected when the program last ran, or "".
    QString storedUser() const;

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
    void selectedUserChanged();

private:
    QString m_selectionFile;
    QString m_user;
    QString m_app;
    QString m_setup;
    int m_setupTasks = 0;
    int m_dataTasks = 0;
};
