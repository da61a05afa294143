// What a check found, in words: the summary line and the report for the clipboard.
#include "CheckReport.h"
#include "CheckSession.h"
#include "ComparisonText.h"

#include <QCoreApplication>

QString CheckSession::summary() const
{
    return checkSummary(m_model, problemCount(m_problems.size(), m_unlistedUnread));
}

QString CheckSession::report() const
{
    QStringList header;
    const auto full = [this](qsizetype subject) { return reportName(m_fullSubjects.value(subject)); };
    switch (m_mode) {
    case Mode::Idle:
        break;
    case Mode::List:
        header.append(tr("Checksum list: %1").arg(full(0)));
        break;
    case Mode::File:
        header.append(tr("File: %1").arg(full(0)));
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
        header.append(tr("Compared: %1").arg(full(0)));
        header.append(tr("with: %1").arg(full(1)));
        if (m_comparison) {
            header.append(comparisonText(*m_comparison));
        }
        break;
    }
    if (m_mode != Mode::Idle) {
        header.append(tr("Checked: %1").arg(m_checkedAt.toString(Qt::ISODate)));
    }
    const QString version = QCoreApplication::applicationVersion();
    if (!version.isEmpty()) {
        header.append(tr("By: %1 %2").arg(QCoreApplication::applicationName(), version));
    }
    return checkReport(header, m_model, m_problems, m_problemIsUnreadLine, m_unlistedUnread);
}
