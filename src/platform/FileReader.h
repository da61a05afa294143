#pragma once

#include <compare>
#include <cstddef>
#include <memory>
#include <optional>
#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <span>

// What tells one version of a file from another without reading it.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// Sequential reads from one open regular file.
class FileReader
{
public:
    virtual ~FileReader() = default;

    // Fills as much of buffer as the file still holds; 0 at the end, -1 on failure (see errorString()).
    virtual qint64 read(std::span<std::byte> buffer) = 0;
    virtual QString errorString() const = 0;
    virtual FileIdentity identity() const = 0;
};

struct OpenedFile
{
    std::unique_ptr<FileReader> reader; // null when the file was refused or could not be opened
    QString error;
};

// The path as the file system's native bytes, or nothing when it has no faithful native form.
std::optional<QByteArray> nativePathFor(const QString& path);

namespace RegularFile {

// Follows symbolic links. Anything but a regular file is refused with a reason and never opened, so a FIFO
// cannot block and a device cannot stream forever.
std::optional<FileIdentity> identify(const QByteArray& nativePath, QString* error);

OpenedFile open(const QByteArray& nativePath);

} // namespace RegularFile
