#include "TaskbarProgress.h"

#include "AnalysisSession.h"

TaskbarProgress::TaskbarProgress(AnalysisSession& session, LauncherProgress& launcher, const Clock& clock,
                                 QObject* parent)
    : QObject(parent), m_session(session), m_policy(launcher, clock)
{
    m_timer.setInterval(static_cast<int>(TaskbarProgressPolicy::kUpdateEveryMs));
    connect(&m_timer, &QTimer::timeout, this, &TaskbarProgress::poll);
    connect(&session, &AnalysisSession::digestsStarted, this, [this](quint64 totalBytes) {
        m_policy.begin(totalBytes);
        m_timer.start();
    });
    connect(&session, &AnalysisSession::digestsStopped, this, [this] {
        m_timer.stop();
        m_policy.end();
    });
}

void TaskbarProgress::poll()
{
    m_policy.advance(m_session.bytesDigested());
}
