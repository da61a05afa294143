// What a check found, in words: the summary line and the report for the clipboard.
#include "CheckReport.h"
#include "CheckSession.h"
#include "ComparisonText.h"
#include "ListPipe.h"

#include <QCoreApplication>

QString CheckSession::summary() const
{
    return checkSummary(m_model, problemCount(m_problems.size(), m_unlistedUnread));
}

QString CheckSession::report() const
{
    return reportText()->finish();
}

std::unique_ptr<ReportText> CheckSession::reportText() const
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
            header.append(tr("Published digests found in: %1").arg(reportName(fullPath(found))));
        }
        break;
    case Mode::Files:
        for (const QByteArray& found : m_foundFiles) {
            header.append(tr("Published digests found in: %1").arg(reportName(fullPath(found))));
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
        // With its offset from UTC: a report read elsewhere or later still says when.
        const QDateTime at = m_checkedAt.toOffsetFromUtc(m_checkedAt.offsetFromUtc());
        header.append(tr("Checked: %1").arg(at.toString(Qt::ISODate)));
    }
    if (isRunning()) {
        // A report taken mid-check must not pass for a whole one: a list read as it comes may hold many more lines.
        header.append(m_mode == Mode::List ? tr("Copied while the list was still being checked: it may hold more "
                                                "lines than these.")
                                           : tr("Copied while the check was still running."));
    }
    const QString version = QCoreApplication::applicationVersion();
    if (!version.isEmpty()) {
        header.append(tr("By: %1 %2").arg(QCoreApplication::applicationName(), version));
    }
    return std::make_unique<ReportText>(header, m_model, m_problems, m_problemIsUnreadLine, m_unlistedUnread,
                                        reportFolder());
}

QByteArray CheckSession::reportFolder() const
{
    // A list's entries by their full paths, so the report names each file wherever it is pasted.
    if (m_mode != Mode::List) {
        return {};
    }
    return namesStandardInput(m_subjects.value(0)) ? m_startFolder : folderOfList(m_fullSubjects.value(0));
}

QByteArray CheckSession::fullPath(const QByteArray& path) const
{
    return path.startsWith('/') ? path : m_startFolder + path;
}
