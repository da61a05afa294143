#pragma once

#include "FileReader.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// A gate that reads wait at until the test opens it: a read that hangs, as on a failing disk or a hard-mounted
// network share.
class Gate
{
public:
    void open()
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }

    void wait()
    {
        std::unique_lock lock(m_mutex);
        ++m_arrivals;
        m_changed.wait(lock, [this] { return m_open; });
    }

    // How many reads have come to the gate so far.
    int arrivals() const
    {
        std::lock_guard lock(m_mutex);
        return m_arrivals;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    int m_arrivals = 0;
};

// A real reader with something of the test's put in its way; subclasses override what they meddle with.
class ForwardingReader : public FileReader
{
public:
    explicit ForwardingReader(std::unique_ptr<FileReader> inner) : m_inner(std::move(inner)) {}

    qint64 read(std::span<std::byte> buffer) override { return m_inner->read(buffer); }
    QString errorString() const override { return m_inner->errorString(); }
    FileIdentity identity() const override { return m_inner->identity(); }
    std::optional<FileIdentity> currentIdentity() override { return m_inner->currentIdentity(); }
    bool beingWritten() const override { return m_inner->beingWritten(); }

private:
    std::unique_ptr<FileReader> m_inner;
};

// The real reader of a file, whose reads wait at the gate first.
class GatedReader final : public ForwardingReader
{
public:
    GatedReader(std::unique_ptr<FileReader> inner, std::shared_ptr<Gate> gate)
        : ForwardingReader(std::move(inner)), m_gate(std::move(gate))
    {}

    qint64 read(std::span<std::byte> buffer) override
    {
        m_gate->wait();
        return ForwardingReader::read(buffer);
    }

private:
    std::shared_ptr<Gate> m_gate;
};

// The real reader, with something done to the file after a given number of reads.
class MeddlingReader final : public ForwardingReader
{
public:
    MeddlingReader(std::unique_ptr<FileReader> inner, int afterReads, std::function<void()> meddle)
        : ForwardingReader(std::move(inner)), m_afterReads(afterReads), m_meddle(std::move(meddle))
    {}
    qint64 read(std::span<std::byte> buffer) override
    {
        if (++m_reads == m_afterReads) {
            m_meddle();
        }
        return ForwardingReader::read(buffer);
    }

private:
    int m_reads = 0;
    int m_afterReads;
    std::function<void()> m_meddle;
};

// Opens files for real; those whose path contains marker read through the gate.
inline std::function<OpenedFile(const QByteArray&)> gatedOpener(std::shared_ptr<Gate> gate, QByteArray marker)
{
    return [gate = std::move(gate), marker = std::move(marker)](const QByteArray& path) {
        OpenedFile opened = RegularFile::open(path);
        if (opened.reader && path.contains(marker)) {
            opened.reader = std::make_unique<GatedReader>(std::move(opened.reader), gate);
        }
        return opened;
    };
}
