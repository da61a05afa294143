#include "QtSettingsStore.h"

#include "IniLines.h"
#include "SettingsLock.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A FIFO would block a read for good and a huge file take seconds and gigabytes. Such a file is left alone, read as
// empty and never written. A settings file of ours holds a few short lines.
constexpr qint64 kLargestSettingsFile = 64 * 1024;

// The file's bytes; the empty file when there is none; nothing when what stands there is no settings file.
std::optional<QByteArray> contentsOf(const QString& path)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return errno == ENOENT ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    }
    struct stat entry
    {
    };
    QFile file;
    if (::fstat(descriptor, &entry) != 0 || !S_ISREG(entry.st_mode) || entry.st_size > kLargestSettingsFile ||
        !file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return std::nullopt;
    }
    QByteArray bytes = file.read(kLargestSettingsFile + 1);
    return bytes.size() > kLargestSettingsFile ? std::nullopt : std::optional<QByteArray>(std::move(bytes));
}

class LockHold final : public SettingsStore::Hold
{
public:
    LockHold(std::unique_ptr<SettingsLock> lock, bool& held) : m_lock(std::move(lock)), m_held(held) { m_held = true; }
    ~LockHold() override { m_held = false; }

private:
    std::unique_ptr<SettingsLock> m_lock;
    bool& m_held;
};

} // namespace

QtSettingsStore::QtSettingsStore()
    : m_path(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/QDX.conf"))
{}

QtSettingsStore::QtSettingsStore(const QString& iniFile) : m_path(iniFile) {}

QtSettingsStore::~QtSettingsStore() = default;

QString QtSettingsStore::read(const QString& section, const QString& key)
{
    const std::optional<QByteArray> file = contentsOf(m_path);
    return file ? iniValue(*file, section, key).value_or(QString()) : QString();
}

std::unique_ptr<SettingsStore::Hold> QtSettingsStore::hold()
{
    if (m_held || !QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        return nullptr;
    }
    std::unique_ptr<SettingsLock> lock = SettingsLock::take(QFile::encodeName(m_path + QStringLiteral(".lock")));
    return lock ? std::make_unique<LockHold>(std::move(lock), m_held) : nullptr;
}

bool QtSettingsStore::write(const QString& section, const QString& key, const QString& value)
{
    std::unique_ptr<Hold> own = m_held ? nullptr : hold();
    if (!m_held) {
        return false;
    }
    const std::optional<QByteArray> before = contentsOf(m_path);
    if (!before) {
        return false;
    }
    // A link is written through, where it leads: a settings folder kept elsewhere stays linked.
    const QFileInfo entry(m_path);
    const QString target = entry.isSymLink() ? entry.canonicalFilePath() : m_path;
    if (target.isEmpty()) {
        return false;
    }
    // A new file whole in place of the old, never a half-written one, whatever ends the process meanwhile.
    QSaveFile file(target);
    const QByteArray after = withIniValue(*before, section, key, value);
    if (!file.open(QIODevice::WriteOnly) || file.write(after) != after.size() || !file.commit()) {
        return false;
    }
    return read(section, key) == value;
}
