#include "Report.h"

QString buildReport(const QList<ReportRow>& rows, ReportScope scope)
{
    QString report;
    for (const ReportRow& row : rows) {
        if (scope == ReportScope::AllRows || row.ticked) {
            report += row.label + row.value + QStringLiteral("\r\n");
        }
    }
    return report;
}
