#pragma once

#include "TaskbarProgressPolicy.h"

#include <QObject>
#include <QTimer>

class AnalysisSession;

// The progress of the session's digest reads on the taskbar: polls the bytes read while a read runs, and nothing
// in between. Draws nothing in the window.
class TaskbarProgress : public QObject
{
    Q_OBJECT

public:
    TaskbarProgress(AnalysisSession& session, LauncherProgress& launcher, const Clock& clock,
                    QObject* parent = nullptr);

private:
    void poll();

    AnalysisSession& m_session;
    TaskbarProgressPolicy m_policy;
    QTimer m_timer;
};
