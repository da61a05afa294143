// One copy of the program's start, as far as the bulletin reminder goes: waits for the go file, so that every copy
// starts together, runs the reminder on the settings file given and records each page it opens in the record file.
// Its store reads slowly, as one on a busy disk does, so copies that do not take turns all see the old date.
#include "BulletinReminder.h"
#include "Clock.h"
#include "QtSettingsStore.h"
#include "WebLauncher.h"

#include <chrono>
#include <fcntl.h>
#include <QFile>
#include <thread>
#include <unistd.h>

namespace {

class FixedClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 7), QTime(9, 30)); }
};

class SlowStore final : public SettingsStore
{
public:
    explicit SlowStore(const QString& path) : m_inner(path) {}
    QString read(const QString& section, const QString& key) override
    {
        const QString value = m_inner.read(section, key);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return value;
    }
    bool write(const QString& section, const QString& key, const QString& value) override
    {
        return m_inner.write(section, key, value);
    }
    std::unique_ptr<Hold> hold() override { return m_inner.hold(); }

private:
    QtSettingsStore m_inner;
};

// Appends a line per page, one write each, so lines of several copies never mix.
class RecordingLauncher final : public WebLauncher
{
public:
    explicit RecordingLauncher(const char* record) : m_record(record) {}
    bool open(const QString& address) override
    {
        const QByteArray line = address.toUtf8() + '\n';
        const int descriptor = ::open(m_record, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        const bool written = descriptor >= 0 && ::write(descriptor, line.constData(), size_t(line.size())) > 0;
        ::close(descriptor);
        return written;
    }

private:
    const char* m_record;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        return 2;
    }
    for (int waited = 0; ::access(argv[3], F_OK) != 0; ++waited) {
        if (waited > 10'000) {
            return 3;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    SlowStore store(QFile::decodeName(argv[1]));
    RecordingLauncher launcher(argv[2]);
    runBulletinReminder(store, FixedClock(), launcher, QStringLiteral("https://bulletin.test/bulletin.php"));
    return 0;
}
