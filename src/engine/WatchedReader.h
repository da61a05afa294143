#pragma once

#include "FileReader.h"

#include <memory>
#include <QString>

// A reader that looks at the open file's identity every so many reads and once more at the end, so that a file
// changed early in a long read is reported then, and no digest ever covers a mix of versions.
class WatchedReader final : public FileReader
{
public:
    static constexpr int kReadsBetweenLooks = 64;

    explicit WatchedReader(std::unique_ptr<FileReader> inner) : m_inner(std::move(inner)) {}

    qint64 read(std::span<std::byte> buffer) override;
    QString errorString() const override { return m_error.isEmpty() ? m_inner->errorString() : m_error; }
    FileIdentity identity() const override { return m_inner->identity(); }
    std::optional<FileIdentity> currentIdentity() override { return m_inner->currentIdentity(); }

    // The last look, after the end was read: false when the file is no longer the one opened (changed() then
    // tells) or when the look itself failed.
    bool unchangedAtEnd();
    // A look found another version of the file.
    bool changed() const { return m_changed; }
    // Of what was seen, only the change time moved (a chmod, a link, an extended attribute, or a write whose
    // modification time was put back): the bytes read may still be one version, which only a second read can tell.
    bool onlyChangeTimeMoved() const { return m_changed && m_onlyChangeTime; }
    // A look found another program writing to the file.
    bool beingWritten() const override { return m_inner->beingWritten(); }
    quint64 bytesRead() const { return m_bytesRead; }

    static QString changedWhileReadReason();

private:
    // False, with the reason kept, when the file is no longer the version opened.
    bool stillTheSame();

    std::unique_ptr<FileReader> m_inner;
    int m_reads = 0;
    quint64 m_bytesRead = 0;
    bool m_changed = false;
    bool m_onlyChangeTime = false; // so far every look differed from the opening in the change time alone
    QString m_error;
};
