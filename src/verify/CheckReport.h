#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

class CheckModel;

// A name in the plain-text report. A name holding a backslash, a line feed, a carriage return or a byte that is not
// UTF-8 is escaped as checksum lines escape it, each such byte as \xHH, so that one name never reads as two lines
// or as another name.
QString reportName(const QByteArray& name);

// "3 of 4 checked: 2 OK, 1 MISMATCH, 1 waiting; 1 problem".
QString checkSummary(const CheckModel& model, qsizetype problemCount);

// The summary, the header lines, every row, then the lines not understood (where UNREADLINE says so beside each
// problem) and the other problems, each under a heading of its own.
// UNLISTED lines not understood were counted rather than listed, after a problem that says so.
QString checkReport(const QStringList& header, const CheckModel& model, const QStringList& problems,
                    const std::vector<bool>& unreadLine = {}, quint64 unlisted = 0);

// The problems listed and those counted only; the sentence saying that some are counted is none of them.
qsizetype problemCount(qsizetype listed, quint64 unlisted);
