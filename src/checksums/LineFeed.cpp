#include "LineFeed.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace {
// Lines read ahead of their taker: enough to keep it busy, few enough to cost little.
constexpr std::size_t kMostAhead = 4096;
} // namespace

struct LineFeed::Shared
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<ListLine> lines;
    bool ended = false;
    bool abandoned = false;
    bool failed = false;
    QString error;
};

LineFeed::LineFeed(std::unique_ptr<QIODevice> device, ParserOptions options,
                   const std::function<bool(std::function<void()>)>& start)
    : m_shared(std::make_shared<Shared>())
{
    const bool started = start([shared = m_shared, device = std::shared_ptr<QIODevice>(std::move(device)), options] {
        ChecksumListReader reader(*device, options);
        for (;;) {
            std::optional<ListLine> line = reader.next();
            std::unique_lock lock(shared->mutex);
            shared->changed.wait(lock, [&] { return shared->lines.size() < kMostAhead || shared->abandoned; });
            if (shared->abandoned) {
                return;
            }
            if (!line) {
                shared->ended = true;
                shared->failed = reader.failed();
                shared->error = reader.errorString();
                shared->changed.notify_all();
                return;
            }
            shared->lines.push_back(std::move(*line));
            shared->changed.notify_all();
        }
    });
    if (!started) {
        m_shared->ended = true;
        m_shared->failed = true;
        m_shared->error = QStringLiteral("no thread to read it on");
    }
}

LineFeed::~LineFeed()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->abandoned = true;
    m_shared->changed.notify_all();
}

LineSource::Got LineFeed::next(ListLine& line, std::chrono::milliseconds wait)
{
    std::unique_lock lock(m_shared->mutex);
    m_shared->changed.wait_for(lock, wait, [this] { return !m_shared->lines.empty() || m_shared->ended; });
    if (m_shared->lines.empty()) {
        return m_shared->ended ? Got::End : Got::NotYet;
    }
    line = std::move(m_shared->lines.front());
    m_shared->lines.pop_front();
    m_shared->changed.notify_all();
    return Got::Line;
}

bool LineFeed::failed() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->failed;
}

QString LineFeed::errorString() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->error;
}
