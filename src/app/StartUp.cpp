#include "StartUp.h"

#include "AnalysisSession.h"
#include "CommandLine.h"
#include "TrimSpaces.h"

void Form_Load(AnalysisSession& session, const QStringList& arguments)
{
    const QString commandTail = TrimSpaces(JoinCLArgs(arguments));
    session.takeArguments(SplitCLArgs(commandTail));
}
