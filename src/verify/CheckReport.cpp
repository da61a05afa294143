#include "CheckReport.h"

#include "CheckModel.h"
#include "HexDigest.h"
#include "NameEscape.h"
#include "NativePath.h"

#include <array>
#include <QCoreApplication>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("CheckReport", text);
}

constexpr std::array kStatesInOrder{
    CheckState::Ok,        CheckState::Mismatch,  CheckState::Missing,   CheckState::Unreadable,
    CheckState::Changed,   CheckState::Identical, CheckState::Different, CheckState::NotCompared,
    CheckState::Cancelled, CheckState::Stalled,   CheckState::Checking,  CheckState::Waiting,
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
    for (qsizetype i = 0; i < model.size(); ++i) {
        const CheckState state = model.row(i).state;
        settled += isSettled(state) && state != CheckState::Cancelled ? 1 : 0; // a cancelled row was not checked
        for (std::size_t k = 0; k < kStatesInOrder.size(); ++k) {
            counts[k] += kStatesInOrder[k] == state ? 1 : 0;
        }
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
    QString summary = tr("%1 of %2 checked").arg(settled).arg(model.size());
    if (!parts.isEmpty()) {
        summary += QStringLiteral(": ") + parts.join(QStringLiteral(", "));
    }
    if (problemCount > 0) {
        summary += QStringLiteral("; ") + (problemCount == 1 ? tr("1 problem") : tr("%1 problems").arg(problemCount));
    }
    return summary;
}

QString checkReport(const QStringList& header, const CheckModel& model, const QStringList& problems)
{
    QStringList lines = header;
    if (!lines.isEmpty()) {
        lines.append(QString());
    }
    for (qsizetype i = 0; i < model.size(); ++i) {
        const CheckRow& row = model.row(i);
        QString line = QStringLiteral("%1: %2").arg(reportName(row.name), stateText(row.state, row.percent));
        const QString algorithm = algorithmText(row);
        if (!algorithm.isEmpty()) {
            line += QStringLiteral(" (%1)").arg(algorithm);
        }
        lines.append(line);
        if (row.lineNumber > 0) {
            lines.append(QStringLiteral("    ") + tr("line %1").arg(row.lineNumber));
        }
        if (row.state == CheckState::Mismatch) {
            lines.append(QStringLiteral("    ") + tr("expected: %1").arg(QString::fromLatin1(hexDigest(row.expected))));
            lines.append(QStringLiteral("    ") + tr("actual:   %1").arg(QString::fromLatin1(hexDigest(row.actual))));
        }
        if (row.outsideFolder) {
            lines.append(QStringLiteral("    ") + tr("outside the list's folder"));
        }
        if (!row.note.isEmpty()) {
            lines.append(QStringLiteral("    ") + row.note);
        }
    }
    if (!problems.isEmpty()) {
        lines.append(QString());
        lines.append(tr("Problems:"));
        for (const QString& problem : problems) {
            lines.append(QStringLiteral("    ") + problem);
        }
    }
    lines.append(QString());
    lines.append(checkSummary(model, problems.size()));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
