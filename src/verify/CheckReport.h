#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class CheckModel;

// A name in the plain-text report: as text, a byte that is not UTF-8 shown as U+FFFD; a name holding a backslash,
// a line feed or a carriage return escaped as checksum lines escape it, so that one name never reads as two lines.
QString reportName(const QByteArray& name);

// "3 of 4 checked: 2 OK, 1 MISMATCH, 1 waiting; 1 problem".
QString checkSummary(const CheckModel& model, qsizetype problemCount);

// The header lines, every row, the problems and the summary.
QString checkReport(const QStringList& header, const CheckModel& model, const QStringList& problems);
