#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a quit of the event loop, so the program ends
// through its normal path and every destructor closes its files.
class UnixSignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignalWatcher(QObject* parent = nullptr);
    ~UnixSignalWatcher() override;

    // True when the handlers are installed.
    bool isWatching() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void readSignal();
    static void handleSignal(int signalNumber);

    static int s_pipe[2];
    QSocketNotifier* m_notifier = nullptr;
};
