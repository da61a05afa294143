#include "DigestRowsReport.h"

#include "AnalysisSession.h"

#include <cstdio>
#include <QStringList>

void printDigestRowsWhenAsked(AnalysisSession& session, std::function<QString(ResultRow)> rowText)
{
    if (!qEnvironmentVariableIsSet(kPrintDigestRowsVariable)) {
        return;
    }
    QObject::connect(&session, &AnalysisSession::finished, &session, [rowText = std::move(rowText)] {
        QStringList rows;
        for (const ResultRow row : {ResultRow::Crc32, ResultRow::Md5, ResultRow::Sha1, ResultRow::Sha256}) {
            rows.append(rowText(row));
        }
        // Flushed at once: the reader is waiting for this line, and a pipe would otherwise hold it back.
        std::fputs(qPrintable(rows.join(QLatin1Char(' ')) + QLatin1Char('\n')), stdout);
        std::fflush(stdout);
    });
}
