#include "WatchedReader.h"

#include <QCoreApplication>

QString WatchedReader::changedWhileReadReason()
{
    return QCoreApplication::translate("DigestEngine", "The file changed while it was being read.");
}

qint64 WatchedReader::read(std::span<std::byte> buffer)
{
    if (++m_reads % kReadsBetweenLooks == 0 && !stillTheSame()) {
        return -1;
    }
    const qint64 count = m_inner->read(buffer);
    if (count > 0) {
        m_bytesRead += static_cast<quint64>(count);
    }
    return count;
}

bool WatchedReader::unchangedAtEnd()
{
    if (!stillTheSame()) {
        return false;
    }
    if (m_onlyChangeTime) {
        m_changed = true;
        m_error = changedWhileReadReason();
        return false;
    }
    return true;
}

bool WatchedReader::stillTheSame()
{
    const std::optional<FileIdentity> now = m_inner->currentIdentity();
    if (!now) {
        m_error = m_inner->errorString();
        return false;
    }
    FileIdentity sameTime = *now;
    sameTime.changed = m_inner->identity().changed;
    if (sameTime == m_inner->identity() && !m_inner->beingWritten()) {
        // The read goes on: whether its bytes are one version is for a second read to tell.
        m_onlyChangeTime = m_onlyChangeTime || *now != m_inner->identity();
        return true;
    }
    if (*now != m_inner->identity()) {
        m_changed = true;
        m_onlyChangeTime = false;
        m_error = changedWhileReadReason();
        return false;
    }
    return true;
}
