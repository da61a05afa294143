#pragma once

#include "DetachedWorker.h"

#include <functional>
#include <memory>
#include <QObject>
#include <QString>

class Clock;
class SettingsStore;
class WebLauncher;

// The bulletin reminder on a thread of its own that nobody waits for. The settings folder may hold anything (a FIFO,
// a lock that is never let go, a share that stopped answering), and the window's thread must never block on it; the
// store is made on that thread too, since making it reads the file. The page is opened on this object's thread, and
// only while this object lives. The worker frees what it holds by itself, so a store that hangs costs a thread.
class DetachedBulletinReminder : public QObject
{
    Q_OBJECT

public:
    using StoreMaker = std::function<std::unique_ptr<SettingsStore>()>;

    // The launcher must outlive this object; the clock and the maker go with the worker.
    DetachedBulletinReminder(StoreMaker makeStore, std::shared_ptr<const Clock> clock, WebLauncher& launcher,
                             QString bulletinAddress, QObject* parent = nullptr);
    ~DetachedBulletinReminder() override;

    // Returns at once. An empty address touches nothing.
    void start();

    // Workers of ours still running, this one's and every other (LiveWorker): the process must not tear down what
    // they use.
    static int liveWorkers();

private:
    // Runs on this object's thread, called for by the worker: opens the pages it asked for.
    Q_INVOKABLE void openPages();

    DetachedWorker<QString> m_worker{this, "openPages"};
    StoreMaker m_makeStore;
    std::shared_ptr<const Clock> m_clock;
    WebLauncher& m_launcher;
    const QString m_address;
};
