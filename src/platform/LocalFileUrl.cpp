#include "LocalFileUrl.h"

#include "NativePath.h"

std::optional<QString> localFileOfUrl(const QUrl& url)
{
    // A file on another host is no local file, whatever its scheme says. A host Qt cannot read ("a..b") leaves the
    // URL invalid with an empty host, which must not pass for a local one.
    if (!url.isValid() || !url.isLocalFile() || !(url.host().isEmpty() || url.host() == QStringLiteral("localhost"))) {
        return std::nullopt;
    }
    // The path's bytes, percent-decoded by hand: decoding to text first would lose those that are not UTF-8.
    const QByteArray native = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    // Only a full path: a relative one would be taken against wherever this program happens to run. No file's name
    // holds a NUL byte, so a path with one names none.
    if (!native.startsWith('/') || native.contains('\0')) {
        return std::nullopt;
    }
    return textForNativePath(native);
}
