#pragma once

#include "FileFacts.h"
#include "ThreadStarter.h"

#include <memory>
#include <QObject>
#include <QString>

// The facts of one path, gathered on a worker thread: on a mount that stopped answering even a stat hangs, and that
// must cost a thread, never the window. The owner never waits for the worker; abandoning the run (or destroying
// it) stops the delivery, and the worker frees what it holds by itself whenever its look returns.
class FactsRun : public QObject
{
    Q_OBJECT

public:
    FactsRun(FactsReader reader, QString path, ThreadStarter startThread = {}, QObject* parent = nullptr);
    ~FactsRun() override;

    void start();
    // Nothing is emitted after this returns; the worker is not waited for.
    void abandon();

signals:
    // Once, on the thread that owns the run. A worker that could not start or failed unexpectedly comes as a
    // regular file whose facts could not be read, with the reason.
    void found(const PathFacts& facts);

private:
    struct Shared;

    // Runs on the owner's thread, posted by the worker.
    Q_INVOKABLE void deliver();

    std::shared_ptr<Shared> m_shared;
    FactsReader m_reader;
    const QString m_path;
    ThreadStarter m_startThread;
};
