#include "DroppedFiles.h"

#include <QUrl>

std::optional<QString> firstDroppedFile(const QMimeData& data)
{
    if (!data.hasUrls()) {
        return std::nullopt;
    }
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) {
            return url.toLocalFile();
        }
    }
    return std::nullopt;
}
