#include "ListFile.h"

#include "ChecksumListReader.h"
#include "FileReader.h"
#include "VerifyLoop.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

bool openListFile(const QByteArray& path, QFile& file, QString* error)
{
    // A terminal is refused below, and must not become the controlling one meanwhile.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        *error = qt_error_string(errno);
        return false;
    }
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        *error = RegularFile::refusalFor(status.st_mode);
        ::close(fd);
        return false;
    }
    // Reads of a regular file never return early for want of data; the flag only kept the open from waiting.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle)) {
        *error = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
}

int openListStream(const QByteArray& path, QFile& file)
{
    if (path == "-") {
        file.open(STDIN_FILENO, QIODevice::ReadOnly, QFile::DontCloseHandle);
        return 0;
    }
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle);
    return 0;
}

quint64 listedBytes(QIODevice& list, const ParserOptions& parserOptions, const VerifyOptions& verifyOptions,
                    std::vector<qint64>* sizes, const std::function<bool()>& stop)
{
    ChecksumListReader reader(list, parserOptions);
    quint64 total = 0;
    std::optional<VerifyRequest> previous;
    while (const std::optional<ListLine> line = reader.next()) {
        if (line->parsed.kind != LineKind::Entry) {
            continue;
        }
        if (stop && stop()) {
            break;
        }
        const QByteArray& name = line->parsed.entry.name;
        VerifyRequest request;
        request.fromStandardInput = verifyOptions.dashIsStandardInput && name == "-";
        request.nativePath = resolveEntryName(name, verifyOptions.baseFolder);
        // Grouped as the verify loop groups its reads, so the total is what it will read.
        const bool shares = previous && sharesRead(*previous, request);
        qint64 size = request.fromStandardInput ? -1 : 0;
        struct stat status;
        if (!shares && !request.fromStandardInput) {
            const bool regular = ::stat(request.nativePath.constData(), &status) == 0 && S_ISREG(status.st_mode);
            size = regular ? static_cast<qint64>(status.st_size) : -1;
            total += regular ? static_cast<quint64>(status.st_size) : 0;
        }
        if (sizes) {
            sizes->push_back(size);
        }
        previous = std::move(request);
    }
    return total;
}

quint64 listedBytes(const QByteArray& listPath, const ParserOptions& parserOptions, const VerifyOptions& verifyOptions)
{
    QFile file;
    QString unused;
    return openListFile(listPath, file, &unused) ? listedBytes(file, parserOptions, verifyOptions) : 0;
}
