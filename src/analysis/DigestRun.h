#pragma once

#include "DigestJob.h"
#include "DigestKind.h"

#include <functional>
#include <QObject>
#include <QString>
#include <thread>

class DigestService;

// The four digests of one analysis, asked for in display order on a worker thread. Results arrive as signals on
// the thread that owns the run; destroying the run cancels the work, waits for the worker, and drops results
// still queued, so a superseded analysis can never write into the rows.
class DigestRun : public QObject
{
    Q_OBJECT

public:
    DigestRun(DigestService& service, QString path, QObject* parent = nullptr);
    ~DigestRun() override;

    void start();
    // Returns once the worker has stopped; nothing more is emitted after it.
    void cancelAndWait();

signals:
    void digestReady(DigestKind kind, const QString& digest);
    void failed(DigestKind kind, const QString& reason);

private:
    void work();
    void deliver(std::function<void()> emitter);

    DigestService& m_service;
    const QString m_path;
    DigestJob m_job;
    std::thread m_worker;
};
