#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a quit of the event loop, so the program ends
// through its normal path and every destructor closes its files. A second
// SIGINT or SIGTERM while that is under way ends the process at once.
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
    static volatile sig_atomic_t s_received;
    QSocketNotifier* m_notifier = nullptr;
};
