#include "StartUp.h"

#include "AnalysisSession.h"
#include "NativePath.h"

QStringList programArguments(int argc, const char* const* argv)
{
    QStringList arguments;
    for (int i = 1; i < argc && argv[i]; ++i) {
        arguments.append(textForNativePath(QByteArray(argv[i])));
    }
    return arguments;
}

void Form_Load(AnalysisSession& session, const QStringList& arguments, const std::function<void()>& bulletinReminder)
{
    session.takeArguments(arguments);
    if (bulletinReminder) {
        bulletinReminder();
    }
    if (!session.currentPath().isEmpty()) {
        session.AnalyzeFile();
    }
}
