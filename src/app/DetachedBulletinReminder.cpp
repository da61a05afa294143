#include "DetachedBulletinReminder.h"

#include "BulletinReminder.h"
#include "Clock.h"
#include "LiveWorker.h"
#include "SettingsStore.h"
#include "WebLauncher.h"

#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>

namespace {} // namespace

// The owner clears the receiver when it goes; the worker posts only under the mutex, so a post never races with the
// owner's destruction, and a posted call dies with it.
struct DetachedBulletinReminder::Shared
{
    std::mutex mutex;
    DetachedBulletinReminder* receiver = nullptr;

    void openPage(const QString& address)
    {
        std::lock_guard lock(mutex);
        if (receiver) {
            QMetaObject::invokeMethod(
                receiver, [owner = receiver, address] { owner->m_launcher.open(address); }, Qt::QueuedConnection);
        }
    }
};

namespace {

// What the reminder on the worker sees as the launcher: the desktop's opener is asked from the owner's thread.
class PostingLauncher final : public WebLauncher
{
public:
    explicit PostingLauncher(std::function<void(const QString&)> post) : m_post(std::move(post)) {}
    bool open(const QString& address) override
    {
        m_post(address);
        return true; // nobody looks
    }

private:
    std::function<void(const QString&)> m_post;
};

} // namespace

DetachedBulletinReminder::DetachedBulletinReminder(StoreMaker makeStore, std::shared_ptr<const Clock> clock,
                                                   WebLauncher& launcher, QString bulletinAddress, QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()), m_makeStore(std::move(makeStore)),
      m_clock(std::move(clock)), m_launcher(launcher), m_address(std::move(bulletinAddress))
{
    m_shared->receiver = this;
}

DetachedBulletinReminder::~DetachedBulletinReminder()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->receiver = nullptr;
}

int DetachedBulletinReminder::liveWorkers()
{
    return LiveWorker::count();
}

void DetachedBulletinReminder::start()
{
    if (m_address.isEmpty()) {
        return;
    }
    auto work = [shared = m_shared, makeStore = m_makeStore, clock = m_clock, address = m_address,
                 live = std::make_shared<LiveWorker>()] {
        // The body of a thread of ours: nothing may leave it. A reminder that fails is one that did not run.
        try {
            const std::unique_ptr<SettingsStore> store = makeStore();
            PostingLauncher launcher([&shared](const QString& page) { shared->openPage(page); });
            runBulletinReminder(*store, *clock, launcher, address);
        } catch (...) {
        }
    };
    try {
        std::thread(std::move(work)).detach();
    } catch (const std::system_error&) {
        // No thread to be had: no reminder this time, rather than one on the window's thread.
    }
}
