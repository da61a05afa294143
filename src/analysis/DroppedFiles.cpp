#include "DroppedFiles.h"

#include "NativePath.h"

#include <QUrl>

std::optional<QString> firstDroppedFile(const QMimeData& data)
{
    if (!data.hasUrls()) {
        return std::nullopt;
    }
    for (const QUrl& url : data.urls()) {
        // A file on another host is no local file, whatever its scheme says.
        if (!url.isLocalFile() || !(url.host().isEmpty() || url.host() == QStringLiteral("localhost"))) {
            continue;
        }
        // The path's bytes, percent-decoded by hand: decoding to text first would lose those that are not UTF-8.
        const QByteArray native = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        // Only a full path: a relative one would be taken against wherever this program happens to run.
        if (native.startsWith('/')) {
            return textForNativePath(native);
        }
    }
    return std::nullopt;
}
