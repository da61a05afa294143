#include "FactsRun.h"

#include <QCoreApplication>

FactsRun::FactsRun(FactsReader reader, QString path, ThreadStarter startThread, QObject* parent)
    : QObject(parent), m_reader(std::move(reader)), m_path(std::move(path)), m_startThread(std::move(startThread))
{}

FactsRun::~FactsRun()
{
    abandon();
}

void FactsRun::abandon()
{
    m_worker.abandon();
}

void FactsRun::deliver()
{
    m_worker.deliverEach([this](const PathFacts& facts) { emit found(facts); });
}

namespace {

PathFacts failure(const WorkerFailure& why)
{
    const QString reason = why.started
                               ? QCoreApplication::translate("FactsRun", "Unexpected failure while reading: %1")
                                     .arg(why.what.isEmpty() ? QStringLiteral("unknown") : why.what)
                               : QCoreApplication::translate("FactsRun", "Cannot start a thread: %1").arg(why.what);
    return PathFacts{PathKind::RegularFile, reason, std::nullopt};
}

} // namespace

void FactsRun::start()
{
    // The worker owns copies of all it uses, so it may outlive this run, the session and the window.
    m_worker.start([reader = m_reader, path = m_path](auto& mailbox) { mailbox.post(reader(path)); }, failure,
                   m_startThread);
}
