#include "StartUp.h"

#include "AnalysisSession.h"
#include "NativePath.h"

#include <QEventLoop>
#include <QTimer>

QStringList programArguments(int argc, const char* const* argv)
{
    QStringList arguments;
    for (int i = 1; i < argc && argv[i]; ++i) {
        arguments.append(textForNativePath(QByteArray(argv[i])));
    }
    return arguments;
}

void Form_Load(AnalysisSession& session, const QStringList& arguments, const std::function<void()>& bulletinReminder,
               std::chrono::milliseconds factsGrace)
{
    session.takeArguments(arguments);
    if (bulletinReminder) {
        bulletinReminder();
    }
    if (session.currentPath().isEmpty()) {
        return;
    }
    QEventLoop wait;
    QObject::connect(&session, &AnalysisSession::factsSettled, &wait, &QEventLoop::quit);
    session.AnalyzeFile();
    if (!session.isReadingFacts()) {
        return;
    }
    // A refusal's message box runs inside this loop; the wait ends when it is closed, however long that takes.
    QTimer::singleShot(factsGrace, &wait, &QEventLoop::quit);
    wait.exec();
}
