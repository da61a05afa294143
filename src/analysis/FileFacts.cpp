#include "FileFacts.h"

#include "DateTimeText.h"
#include "FileReader.h"

#include <QCoreApplication>
#include <QFileInfo>

PathKind classifyPath(const QString& path)
{
    const std::optional<QByteArray> native = nativePathFor(path);
    if (!native || native->isEmpty()) {
        return PathKind::Other;
    }
    QString ignored;
    if (RegularFile::identify(*native, &ignored)) {
        return PathKind::RegularFile;
    }
    return QFileInfo(path).isDir() ? PathKind::Folder : PathKind::Other;
}

std::optional<FileFacts> readFileFacts(const QString& path, const QLocale& locale, QString* reason)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *reason = QCoreApplication::translate("FileFacts", "The file no longer exists.");
        return std::nullopt;
    }
    return FileFacts{
        info.fileName(),
        info.absoluteFilePath(),
        QString::number(info.size()),
        dateTimeText(info.birthTime(), locale),
        dateTimeText(info.lastRead(), locale),
        dateTimeText(info.lastModified(), locale),
    };
}
