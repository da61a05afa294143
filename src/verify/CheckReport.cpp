#include "CheckReport.h"

#include "CheckModel.h"
#include "HexDigest.h"
#include "NameEscape.h"
#include "NativePath.h"

#include <array>
#include <limits>
#include <QCoreApplication>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("CheckReport", text);
}

constexpr std::array kStatesInOrder{
    CheckState::Ok,          CheckState::Mismatch,     CheckState::Missing,   CheckState::Unreadable,
    CheckState::Changed,     CheckState::BeingWritten, CheckState::Identical, CheckState::Different,
    CheckState::NotCompared, CheckState::Cancelled,    CheckState::Stalled,   CheckState::Checking,
    CheckState::Waiting,
};

} // namespace

QString reportName(const QByteArray& name)
{
    const QString text = textForNativePath(name);
    // Blanks at the ends and the isolates of right-to-left names are for the window alone: the report's line keeps
    // them as the checksum line has them.
    if (!nameNeedsEscape(name) && carriedBytesAsEscapes(text) == text) {
        return text;
    }
    return QLatin1Char('\\') + carriedBytesAsEscapes(textForNativePath(escapeName(name)));
}

QString checkSummary(const CheckModel& model, qsizetype problemCount)
{
    std::array<qsizetype, kStatesInOrder.size()> counts{};
    qsizetype settled = 0;
    for (std::size_t k = 0; k < kStatesInOrder.size(); ++k) {
        counts[k] = model.count(kStatesInOrder[k]);
        // A cancelled row was not checked.
        settled += isSettled(kStatesInOrder[k]) && kStatesInOrder[k] != CheckState::Cancelled ? counts[k] : 0;
    }
    QStringList parts;
    for (std::size_t k = 0; k < kStatesInOrder.size(); ++k) {
        if (counts[k] > 0) {
            // "checking" without its percentage: the count says how many.
            const QString state =
                kStatesInOrder[k] == CheckState::Checking ? tr("checking") : stateText(kStatesInOrder[k]);
            parts.append(QStringLiteral("%1 %2").arg(counts[k]).arg(state));
        }
    }
    const qsizetype notCompared = model.count(CheckState::NotCompared);
    QString summary = tr("%1 of %2 checked").arg(settled).arg(model.size());
    if (notCompared > 0 && notCompared == model.size()) {
        // Read, yet nothing was checked: "5 of 5 checked" would pass for a verdict.
        summary = tr("0 of %1 compared: nothing to compare with").arg(notCompared);
    } else if (!parts.isEmpty()) {
        summary += QStringLiteral(": ") + parts.join(QStringLiteral(", "));
    }
    if (problemCount > 0) {
        summary += QStringLiteral("; ") + (problemCount == 1 ? tr("1 problem") : tr("%1 problems").arg(problemCount));
    }
    return summary;
}

qsizetype problemCount(qsizetype listed, quint64 unlisted)
{
    return unlisted == 0 ? listed : listed - 1 + static_cast<qsizetype>(unlisted);
}

QString reportEntryName(const QByteArray& folder, const QByteArray& name)
{
    if (folder.isEmpty() || name.startsWith('/')) {
        return reportName(name);
    }
    return reportName(folder + lexicalName(name));
}

bool reportNameCarriesBytes(const QByteArray& name)
{
    // Line ends escaped first: they are written as \n and \r, not as bytes.
    const QString text = textForNativePath(escapeName(name));
    return carriedBytesAsEscapes(text) != text;
}

ReportText::ReportText(const QStringList& header, const CheckModel& model, QStringList problems,
                       std::vector<bool> unreadLine, quint64 unlisted, QByteArray entryFolder)
    : m_model(model), m_ranges{{0, model.size()}}, m_problems(std::move(problems)), m_unreadLine(std::move(unreadLine)),
      m_unlisted(unlisted), m_entryFolder(std::move(entryFolder))
{
    // Written into one text as it goes: the report of a million rows is held once, not once a line and again whole.
    m_text = checkSummary(model, problemCount(m_problems.size(), unlisted)) + QLatin1Char('\n');
    // Room for it all at once: a text grown by doubling would hold up to three times its size at the last step.
    qsizetype room = m_text.size() + 1024;
    for (qsizetype i = 0; i < model.size(); ++i) {
        const CheckRow& row = model.row(i);
        room += (m_entryFolder.size() + row.name.size()) * 2 + row.note.size() + 64 +
                (row.state == CheckState::Mismatch ? 300 : 0);
    }
    for (const QString& problem : m_problems) {
        room += problem.size() + 5;
    }
    m_text.reserve(room);
    for (const QString& part : header) {
        line(part);
    }
    m_text += QLatin1Char('\n');
}

void ReportText::line(const QString& part, bool indented)
{
    if (indented) {
        m_text += QLatin1String("    ");
    }
    m_text += part;
    m_text += QLatin1Char('\n');
}

ReportText::ReportText(const CheckModel& model, std::vector<std::pair<qsizetype, qsizetype>> ranges,
                       QByteArray entryFolder)
    : m_model(model), m_ranges(std::move(ranges)), m_unlisted(0), m_entryFolder(std::move(entryFolder)),
      m_rowsOnly(true)
{
    m_nextRow = m_ranges.empty() ? 0 : m_ranges.front().first;
}

bool ReportText::writeRows(qsizetype most)
{
    for (; m_range < m_ranges.size() && most > 0; --most) {
        if (m_nextRow >= m_ranges[m_range].second) {
            ++m_range;
            m_nextRow = m_range < m_ranges.size() ? m_ranges[m_range].first : 0;
            continue;
        }
        writeRow(m_model.row(m_nextRow++));
    }
    return m_range == m_ranges.size();
}

void ReportText::writeRow(const CheckRow& row)
{
    m_text += reportEntryName(m_entryFolder, row.name);
    m_text += QLatin1String(": ");
    m_text += stateText(row.state, row.percent);
    const QString algorithm = algorithmText(row);
    if (!algorithm.isEmpty()) {
        m_text += QLatin1String(" (") + algorithm + QLatin1Char(')');
    }
    m_text += QLatin1Char('\n');
    if (reportNameCarriesBytes(row.name)) {
        line(tr("the name's bytes that are not UTF-8 or not visible are written as \\xHH"), true);
    }
    if (row.lineNumber > 0) {
        line(tr("line %1").arg(row.lineNumber), true);
    }
    if (row.state == CheckState::Mismatch) {
        line(tr("expected: %1").arg(QString::fromLatin1(hexDigest(row.expected))), true);
        QString actual = tr("actual:   %1").arg(QString::fromLatin1(hexDigest(row.actual)));
        if (row.candidates.size() > 1) {
            // The expected digest could be of several: say whose this one is.
            actual += QStringLiteral(" (%1)").arg(algorithmName(shownAlgorithm(row)));
        }
        line(actual, true);
    } else if (!row.actual.isEmpty() && row.expected.isEmpty()) {
        // Computed with nothing to compare with: the digest itself, to be compared by hand.
        line(tr("digest:   %1").arg(QString::fromLatin1(hexDigest(row.actual))), true);
    }
    if (row.outsideFolder) {
        line(tr("outside the list's folder"), true);
    }
    if (const QString note = noteText(row); !note.isEmpty()) {
        line(note, true);
    }
}

QString ReportText::finish()
{
    while (!writeRows(std::numeric_limits<qsizetype>::max())) {
    }
    if (m_rowsOnly) {
        return std::move(m_text);
    }
    // Lines not understood under a heading of their own, so that the other problems are not lost among them.
    for (const bool unread : {true, false}) {
        bool headed = false;
        for (qsizetype i = 0; i < m_problems.size(); ++i) {
            const auto index = static_cast<std::size_t>(i);
            if ((index < m_unreadLine.size() && m_unreadLine[index]) != unread) {
                continue;
            }
            if (!headed) {
                m_text += QLatin1Char('\n');
                line(unread ? tr("Lines not understood:") : tr("Problems:"));
                headed = true;
            }
            line(m_problems[i], true);
        }
        if (unread && m_unlisted > 0) {
            line(tr("%1 more lines could not be understood.").arg(m_unlisted), true);
        }
    }
    return std::move(m_text);
}

QString checkReport(const QStringList& header, const CheckModel& model, const QStringList& problems,
                    const std::vector<bool>& unreadLine, quint64 unlisted, const QByteArray& entryFolder)
{
    ReportText text(header, model, problems, unreadLine, unlisted, entryFolder);
    return text.finish();
}
