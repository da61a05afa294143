#pragma once

#include <array>
#include <QList>
#include <QString>

// The labels of the ten rows in a report, in the rows' fixed order. They differ from the window's captions in one
// place ("CRC32 Digest: " against "CRC-32 Digest:") and each ends in one blank.
inline const std::array<QString, 10> kReportLabels{
    QStringLiteral("File Name: "),     QStringLiteral("File Path: "),     QStringLiteral("Created Date: "),
    QStringLiteral("Last Accessed: "), QStringLiteral("Last Modified: "), QStringLiteral("File Size: "),
    QStringLiteral("CRC32 Digest: "),  QStringLiteral("MD5 Hash: "),      QStringLiteral("SHA-1 Hash: "),
    QStringLiteral("SHA-256 Hash: "),
};

struct ReportRow
{
    QString label;
    QString value; // as the row shows it: a placeholder or typed text included
    bool ticked = false;
};

enum class ReportScope
{
    AllRows,
    TickedRows,
};

// One line per row in the order given, "label" + value + CR LF, the last line included; with TickedRows only the
// ticked rows, and the empty text when none is ticked. Values are copied as they are, line breaks included.
QString buildReport(const QList<ReportRow>& rows, ReportScope scope);
