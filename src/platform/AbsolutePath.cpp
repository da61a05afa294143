#include "AbsolutePath.h"

#include <cstdlib>
#include <memory>
#include <QByteArrayList>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray currentFolder()
{
    // Allocated to size: the current folder may be longer than PATH_MAX.
    const std::unique_ptr<char, decltype(&std::free)> folder(::getcwd(nullptr, 0), &std::free);
    return folder ? QByteArray(folder.get()) : QByteArray();
}

QByteArray joined(const QByteArrayList& components)
{
    return '/' + components.join('/');
}

bool isSymbolicLink(const QByteArray& path)
{
    struct stat info
    {
    };
    // Unknown counts as a link: keeping ".." is never wrong, taking it back may be.
    return ::lstat(path.constData(), &info) != 0 || S_ISLNK(info.st_mode);
}

} // namespace

QByteArray absoluteNativePath(const QByteArray& native)
{
    QByteArray path = native;
    if (!path.startsWith('/')) {
        const QByteArray folder = currentFolder();
        if (folder.isEmpty()) {
            return native; // no current folder to be relative to: shown as given rather than made up
        }
        path = folder + '/' + path;
    }
    QByteArrayList kept;
    for (const QByteArray& component : path.split('/')) {
        if (component.isEmpty() || component == ".") {
            continue;
        }
        if (component != "..") {
            kept.append(component);
        } else if (kept.isEmpty()) {
            continue; // the root is its own parent
        } else if (kept.last() == ".." || isSymbolicLink(joined(kept))) {
            kept.append(component);
        } else {
            kept.removeLast();
        }
    }
    return joined(kept);
}
