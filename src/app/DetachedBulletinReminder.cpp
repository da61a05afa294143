#include "DetachedBulletinReminder.h"

#include "BulletinReminder.h"
#include "Clock.h"
#include "LiveWorker.h"
#include "SettingsStore.h"
#include "WebLauncher.h"

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
    : QObject(parent), m_makeStore(std::move(makeStore)), m_clock(std::move(clock)), m_launcher(launcher),
      m_address(std::move(bulletinAddress))
{}

// The worker is abandoned with this object (DetachedWorker): no page opens once it is gone.
DetachedBulletinReminder::~DetachedBulletinReminder() = default;

void DetachedBulletinReminder::openPages()
{
    m_worker.deliverEach([this](const QString& address) { m_launcher.open(address); });
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
    // A reminder that fails is one that did not run; no thread to be had, no reminder this time, rather than one on
    // the window's thread.
    m_worker.start([makeStore = m_makeStore, clock = m_clock, address = m_address](auto& mailbox) {
        const std::unique_ptr<SettingsStore> store = makeStore();
        PostingLauncher launcher([&mailbox](const QString& page) { mailbox.post(page); });
        runBulletinReminder(*store, *clock, launcher, address);
    });
}
