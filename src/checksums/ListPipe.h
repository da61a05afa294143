#pragma once

#include <functional>
#include <memory>
#include <QByteArray>
#include <QIODevice>

// A checksum list that comes through a pipe (a FIFO, or standard input fed by one): read once, as it comes. Each
// read returns what the writer has written so far, where a file's buffered read would wait for a whole block.
class ListPipe : public QIODevice
{
public:
    // Takes fd, opened without waiting for a writer, and closes it when done.
    explicit ListPipe(int fd);
    ~ListPipe() override;
    ListPipe(const ListPipe&) = delete;
    ListPipe& operator=(const ListPipe&) = delete;

    bool isSequential() const override { return true; }

    // Waits until a writer has come (or has come and gone), asking stop every tenth of a second; then reads wait for
    // what it writes. False when stopped first. Until then a read would see no writer and take it for the end.
    bool waitForWriter(const std::function<bool()>& stop);

protected:
    qint64 readData(char* data, qint64 most) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    int m_fd;
};

// Opens the list a checksum window checks: a regular file (see openListFile), or a FIFO or pipe as a ListPipe. Never
// waits: a FIFO is opened before its writer comes. Null with the system's words for anything else.
std::unique_ptr<QIODevice> openListToRead(const QByteArray& path, QString* error);

// Whether path names this process's standard input ("/dev/stdin", "/dev/fd/0", "/proc/self/fd/0"): a list given so
// takes its names against the current folder, as one read from standard input does.
bool namesStandardInput(const QByteArray& path);
