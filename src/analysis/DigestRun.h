#pragma once

#include "DigestKind.h"
#include "FileReader.h"
#include "ThreadStarter.h"

#include <memory>
#include <optional>
#include <QObject>
#include <QString>

class DigestService;

// The four digests of one analysis, asked for in display order on a worker thread. Results arrive as signals on the
// thread that owns the run. The owner never waits for the worker: abandoning the run (or destroying it) stops
// every delivery at once and tells the worker to stop at its next check; the worker then frees what it holds by
// itself, so a read that hangs costs a thread, never the window.
class DigestRun : public QObject
{
    Q_OBJECT

public:
    DigestRun(std::shared_ptr<DigestService> service, QString path, std::optional<FileIdentity> shownVersion,
              ThreadStarter startThread = {}, QObject* parent = nullptr);
    ~DigestRun() override;

    void start();
    // Nothing is emitted after this returns; the worker is not waited for.
    void abandon();
    // Bytes every digest has taken in so far; safe while the worker runs.
    quint64 bytesDone() const;

    // Workers of ours still running, facts and digests among them, abandoned ones included (LiveWorker counts them
    // all): the process must not tear down what they use.
    static int liveWorkers();

signals:
    void digestReady(DigestKind kind, const QString& digest);
    // How many bytes the digests cover; comes before the first digest, from an engine that tells.
    void bytesRead(quint64 count);
    // The file could not be read; no digest follows.
    void failed(DigestKind kind, const QString& reason);
    // This one digest cannot be computed here; the others follow.
    void unavailable(DigestKind kind, const QString& reason);

private:
    struct Shared;

    // Runs on the owner's thread, posted by the worker: hands on what it has queued.
    Q_INVOKABLE void deliverPending();

    std::shared_ptr<Shared> m_shared;
    std::shared_ptr<DigestService> m_service;
    const QString m_path;
    ThreadStarter m_startThread;
};
