#include "DroppedFiles.h"

#include "LocalFileUrl.h"

#include <QUrl>

std::optional<QString> firstDroppedFile(const QMimeData& data)
{
    if (!data.hasUrls()) {
        return std::nullopt;
    }
    // A URL that names no local file (a web link, a name with a NUL) is passed over: the next may name one.
    for (const QUrl& url : data.urls()) {
        if (std::optional<QString> file = localFileOfUrl(url)) {
            return file;
        }
    }
    return std::nullopt;
}
