#include "FileFacts.h"

#include "AbsolutePath.h"
#include "DateTimeText.h"

#include <QCoreApplication>

PathKind classifyPath(const QString& path, QString* reason)
{
    const std::optional<QByteArray> native = nativePathFor(path);
    if (!native || RegularFile::namesNothing(*native)) {
        return PathKind::Missing;
    }
    QString why;
    if (RegularFile::status(*native, &why)) {
        return PathKind::RegularFile;
    }
    if (RegularFile::isFolder(*native)) {
        return PathKind::Folder;
    }
    if (reason) {
        *reason = why;
    }
    return PathKind::Other;
}

namespace {

QDateTime localTimeOf(const FileTime& time)
{
    return QDateTime::fromSecsSinceEpoch(time.seconds).addMSecs(time.nanoseconds / 1'000'000);
}

} // namespace

std::optional<FileFacts> readFileFacts(const QString& path, const QLocale& locale, QString* reason)
{
    const std::optional<QByteArray> native = nativePathFor(path);
    if (!native) {
        *reason = QCoreApplication::translate("FileFacts", "The path cannot be represented as a file name.");
        return std::nullopt;
    }
    const std::optional<FileStatus> status = RegularFile::status(*native, reason);
    if (!status) {
        return std::nullopt;
    }
    // Name and absolute path come from the path as given, so a link shows its own name, not its target's.
    const QByteArray absolute = absoluteNativePath(*native);
    return FileFacts{
        displayTextForPath(textForNativePath(absolute.mid(absolute.lastIndexOf('/') + 1))),
        displayTextForPath(textForNativePath(absolute)),
        QString::number(status->identity.size),
        status->born ? dateTimeText(localTimeOf(*status->born), locale) : QString(),
        dateTimeText(localTimeOf(status->accessed), locale),
        dateTimeText(localTimeOf(status->identity.modified), locale),
        status->identity,
    };
}

PathFacts gatherFacts(const QString& path, const QLocale& locale)
{
    PathFacts found;
    found.kind = classifyPath(path, &found.reason);
    if (found.kind == PathKind::RegularFile) {
        found.facts = readFileFacts(path, locale, &found.reason);
    }
    return found;
}
