#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the UI thread, so that a session ending, a `kill` or a
// compositor with no input devices closes the program as its close box does. Each signal is caught once: a second
// one of the same kind ends the process as it would have without us. Signals ignored at start stay ignored, and the
// earlier actions come back when the instance goes. Only the first of two instances alive at once catches anything.
class TerminationRequests : public QObject
{
    Q_OBJECT

public:
    explicit TerminationRequests(QObject* parent = nullptr);
    ~TerminationRequests() override;

    // Whether a request has arrived, for code that runs before the event loop starts.
    bool wasRequested() const { return m_requested; }

signals:
    void requested(int signalNumber);

private:
    void takePending();

    QSocketNotifier* m_notifier = nullptr;
    bool m_requested = false;
};
