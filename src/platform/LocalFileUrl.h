#pragma once

#include <optional>
#include <QString>
#include <QUrl>

// The local file a URL names, as text that carries the name's exact bytes (see NativePath.h): a URL keeps a name's
// bytes percent-encoded, and decoding them as text would lose those that are not UTF-8. Nothing when the URL names
// no local file by a full path: another host or scheme, a relative path, a NUL byte.
std::optional<QString> localFileOfUrl(const QUrl& url);
