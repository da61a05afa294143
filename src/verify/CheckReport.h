#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

class CheckModel;
struct CheckRow;

// A name in the plain-text report. A name holding a backslash, a line feed or a carriage return is escaped as
// checksum lines escape it: a leading backslash, then \\, \n and \r. A name holding bytes that are not UTF-8 (or
// characters that cannot be seen) is escaped so too, each such byte as \xHH, and its row says so
// (reportNameCarriesBytes): one name never reads as two lines or as another name, and a reader can undo it.
QString reportName(const QByteArray& name);
// Whether reportName writes some of the name's bytes as \xHH.
bool reportNameCarriesBytes(const QByteArray& name);
// A list's entry in the report: its full path, the list's folder (ending in '/') joined to the name's steps; an
// absolute name, or any name when folder is empty, as it is.
QString reportEntryName(const QByteArray& folder, const QByteArray& name);

// "3 of 4 checked: 2 OK, 1 MISMATCH, 1 waiting; 1 problem".
QString checkSummary(const CheckModel& model, qsizetype problemCount);

// The summary, the header lines, every row, then the lines not understood (where UNREADLINE says so beside each
// problem) and the other problems, each under a heading of its own.
// UNLISTED lines not understood were counted rather than listed, after a problem that says so.
// ENTRYFOLDER, when given, is the checked list's full folder, which each entry is named within (reportEntryName).
QString checkReport(const QStringList& header, const CheckModel& model, const QStringList& problems,
                    const std::vector<bool>& unreadLine = {}, quint64 unlisted = 0, const QByteArray& entryFolder = {});

// The report of checkReport written a run of rows at a time, so that a million rows never hold the window's thread:
// the summary and header as they are when it starts, then the rows there were then, each as it is when written.
// The model must outlive it and keep its rows meanwhile (no clear).
class ReportText
{
public:
    ReportText(const QStringList& header, const CheckModel& model, QStringList problems,
               std::vector<bool> unreadLine = {}, quint64 unlisted = 0, QByteArray entryFolder = {});
    // The lines of the rows in RANGES alone (each [first, end) in model rows), for rows copied from the table.
    ReportText(const CheckModel& model, std::vector<std::pair<qsizetype, qsizetype>> ranges,
               QByteArray entryFolder = {});
    // Writes up to MOST more rows; true once every row is written.
    bool writeRows(qsizetype most);
    // Writes the rows left and the problems, and hands over the text.
    QString finish();

private:
    void line(const QString& part, bool indented = false);
    void writeRow(const CheckRow& row);

    const CheckModel& m_model;
    std::vector<std::pair<qsizetype, qsizetype>> m_ranges; // the rows there were when it started
    std::size_t m_range = 0;
    qsizetype m_nextRow = 0;
    QStringList m_problems;
    std::vector<bool> m_unreadLine;
    quint64 m_unlisted;
    QByteArray m_entryFolder;
    QString m_text;
    bool m_rowsOnly = false;
};

// The problems listed and those counted only; the sentence saying that some are counted is none of them.
qsizetype problemCount(qsizetype listed, quint64 unlisted);
