#include "StallWatch.h"

namespace {

// A reader whose every call is watched under its file's path.
class WatchedCalls : public FileReader
{
public:
    WatchedCalls(std::unique_ptr<FileReader> inner, std::shared_ptr<StallWatch> watch, QByteArray path)
        : m_inner(std::move(inner)), m_watch(std::move(watch)), m_path(std::move(path))
    {}

    qint64 read(std::span<std::byte> buffer) override
    {
        const StallWatch::Call call(*m_watch, m_path);
        return m_inner->read(buffer);
    }
    QString errorString() const override { return m_inner->errorString(); }
    FileIdentity identity() const override { return m_inner->identity(); }
    std::optional<FileIdentity> currentIdentity() override
    {
        const StallWatch::Call call(*m_watch, m_path);
        return m_inner->currentIdentity();
    }
    bool beingWritten() const override { return m_inner->beingWritten(); }

private:
    std::unique_ptr<FileReader> m_inner;
    std::shared_ptr<StallWatch> m_watch;
    QByteArray m_path;
};

} // namespace

StallWatch::Opener StallWatch::watch(Opener inner)
{
    return [watch = shared_from_this(), inner = std::move(inner)](const QByteArray& path) {
        OpenedFile opened;
        {
            const Call call(*watch, path);
            opened = inner(path);
        }
        if (opened.reader) {
            opened.reader = std::make_unique<WatchedCalls>(std::move(opened.reader), watch, path);
        }
        return opened;
    };
}

std::vector<QByteArray> StallWatch::newlyStalled(std::chrono::milliseconds after)
{
    const auto now = std::chrono::steady_clock::now();
    std::vector<QByteArray> stalled;
    std::lock_guard lock(m_mutex);
    for (auto& [id, entry] : m_calls) {
        if (!entry.told && now - entry.since > after) {
            entry.told = true;
            stalled.push_back(entry.path);
        }
    }
    return stalled;
}

StallWatch::Call::Call(StallWatch& watch, const QByteArray& path) : m_watch(watch)
{
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_watch.m_mutex);
    m_id = m_watch.m_nextId++;
    m_watch.m_calls.emplace(m_id, Entry{path, now, false});
}

StallWatch::Call::~Call()
{
    std::lock_guard lock(m_watch.m_mutex);
    m_watch.m_calls.erase(m_id);
}
