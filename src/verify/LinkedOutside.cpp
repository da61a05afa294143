#include "LinkedOutside.h"

#include <climits>
#include <cstdlib>

namespace {

// The path with every link followed; empty when it cannot be had.
QByteArray realPath(const QByteArray& path)
{
    char* resolved = ::realpath(path.isEmpty() ? "." : path.constData(), nullptr);
    if (!resolved) {
        return {};
    }
    QByteArray real(resolved);
    std::free(resolved);
    return real;
}

} // namespace

LinkedOutside::LinkedOutside(const QByteArray& folder) : m_realFolder(realPath(folder))
{
    if (!m_realFolder.isEmpty() && !m_realFolder.endsWith('/')) {
        m_realFolder += '/';
    }
}

StallWatch::Opener LinkedOutside::watch(StallWatch::Opener inner)
{
    return [self = shared_from_this(), inner = std::move(inner)](const QByteArray& path) {
        OpenedFile opened = inner(path);
        if (opened.reader && !self->m_realFolder.isEmpty()) {
            // Looked up again after the opening, which has just walked the same path: its steps are in memory.
            const QByteArray real = realPath(path);
            if (!real.isEmpty() && !real.startsWith(self->m_realFolder)) {
                std::lock_guard lock(self->m_mutex);
                self->m_outside.insert(path);
            }
        }
        return opened;
    };
}

bool LinkedOutside::contains(const QByteArray& path)
{
    std::lock_guard lock(m_mutex);
    return !m_outside.isEmpty() && m_outside.contains(path);
}
