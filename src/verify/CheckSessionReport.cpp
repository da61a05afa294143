// What a check found, in words: the summary line and the report for the clipboard.
#include "CheckReport.h"
#include "CheckSession.h"
#include "ComparisonText.h"

QString CheckSession::summary() const
{
    return checkSummary(m_model, m_problems.size());
}

QString CheckSession::report() const
{
    QStringList header;
    switch (m_mode) {
    case Mode::Idle:
        break;
    case Mode::List:
        header.append(tr("Checksum list: %1").arg(reportName(m_subjects.value(0))));
        break;
    case Mode::File:
        header.append(tr("File: %1").arg(reportName(m_subjects.value(0))));
        for (const QByteArray& found : m_foundFiles) {
            header.append(tr("Published digests found in: %1").arg(reportName(found)));
        }
        break;
    case Mode::Files:
        for (const QByteArray& found : m_foundFiles) {
            header.append(tr("Published digests found in: %1").arg(reportName(found)));
        }
        break;
    case Mode::Compare:
        header.append(tr("Compared: %1").arg(reportName(m_subjects.value(0))));
        header.append(tr("with: %1").arg(reportName(m_subjects.value(1))));
        if (m_comparison) {
            header.append(comparisonText(*m_comparison));
        }
        break;
    }
    return checkReport(header, m_model, m_problems);
}
