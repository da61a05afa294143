#include "SummaryReport.h"

#include "CheckSession.h"

#include <cstdio>

void printSummaryWhenAsked(CheckSession& session)
{
    if (!qEnvironmentVariableIsSet(kPrintSummaryVariable)) {
        return;
    }
    QObject::connect(&session, &CheckSession::finished, &session, [&session] {
        // Flushed at once: the reader is waiting for this line, and a pipe would otherwise hold it back.
        std::fputs(qPrintable(session.summary() + QLatin1Char('\n')), stdout);
        std::fflush(stdout);
    });
}
