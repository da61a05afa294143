#include "DroppedFiles.h"

#include "LocalFileUrl.h"

#include <QUrl>

QStringList droppedFiles(const QMimeData& data)
{
    QStringList files;
    if (!data.hasUrls()) {
        return files;
    }
    // A URL that names no local file (a web link, a name with a NUL) is passed over: the next may name one.
    for (const QUrl& url : data.urls()) {
        if (std::optional<QString> file = localFileOfUrl(url)) {
            files.append(*file);
        }
    }
    return files;
}
