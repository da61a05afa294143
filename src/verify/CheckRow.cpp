#include "CheckRow.h"

#include "HexDigest.h"
#include "NativePath.h"

#include <QCoreApplication>
#include <QStringList>

QString stateText(CheckState state, int percent)
{
    switch (state) {
    case CheckState::Waiting:
        return QCoreApplication::translate("CheckRow", "waiting");
    case CheckState::Checking:
        return QCoreApplication::translate("CheckRow", "checking %1%").arg(percent);
    case CheckState::Stalled:
        return QCoreApplication::translate("CheckRow", "waiting on the file system");
    case CheckState::Ok:
        return QCoreApplication::translate("CheckRow", "OK");
    case CheckState::Mismatch:
        return QCoreApplication::translate("CheckRow", "MISMATCH");
    case CheckState::Missing:
        return QCoreApplication::translate("CheckRow", "missing");
    case CheckState::Unreadable:
        return QCoreApplication::translate("CheckRow", "unreadable");
    case CheckState::Changed:
        return QCoreApplication::translate("CheckRow", "changed while being read");
    case CheckState::BeingWritten:
        return QCoreApplication::translate("CheckRow", "open for writing");
    case CheckState::Cancelled:
        return QCoreApplication::translate("CheckRow", "cancelled");
    case CheckState::NotCompared:
        return QCoreApplication::translate("CheckRow", "not compared");
    case CheckState::Identical:
        return QCoreApplication::translate("CheckRow", "identical");
    case CheckState::Different:
        return QCoreApplication::translate("CheckRow", "different");
    }
    return {};
}

QString stateIconName(CheckState state)
{
    switch (state) {
    case CheckState::Waiting:
        return QStringLiteral("appointment-soon");
    case CheckState::Checking:
        return QStringLiteral("view-refresh");
    case CheckState::Stalled:
        return QStringLiteral("appointment-missed");
    case CheckState::Ok:
    case CheckState::Identical:
        return QStringLiteral("emblem-default");
    case CheckState::Mismatch:
    case CheckState::Different:
        return QStringLiteral("dialog-error");
    case CheckState::Missing:
        return QStringLiteral("dialog-question");
    case CheckState::Unreadable:
    case CheckState::Changed:
    case CheckState::BeingWritten:
        return QStringLiteral("dialog-warning");
    case CheckState::Cancelled:
        return QStringLiteral("process-stop");
    case CheckState::NotCompared:
        return QStringLiteral("dialog-information");
    }
    return {};
}

bool isSettled(CheckState state)
{
    return state != CheckState::Waiting && state != CheckState::Checking && state != CheckState::Stalled;
}

QString algorithmText(const CheckRow& row)
{
    if (row.algorithm) {
        return algorithmName(*row.algorithm);
    }
    QStringList names;
    row.candidates.forEach([&names](HashAlgorithm algorithm) { names.append(algorithmName(algorithm)); });
    return names.join(QCoreApplication::translate("CheckRow", " or "));
}

std::optional<HashAlgorithm> onlyAlgorithm(const AlgorithmSet& candidates)
{
    std::optional<HashAlgorithm> only;
    if (candidates.size() == 1) {
        candidates.forEach([&only](HashAlgorithm algorithm) { only = algorithm; });
    }
    return only;
}

HashAlgorithm shownAlgorithm(const CheckRow& row)
{
    if (row.algorithm && row.candidates.contains(*row.algorithm)) {
        return *row.algorithm;
    }
    const std::optional<HashAlgorithm> preferred =
        preferredAlgorithmForDigestBytes(static_cast<std::size_t>(row.expected.size()));
    if (preferred && row.candidates.contains(*preferred)) {
        return *preferred;
    }
    std::optional<HashAlgorithm> first;
    row.candidates.forEach([&first](HashAlgorithm algorithm) { first = first.value_or(algorithm); });
    return first.value_or(HashAlgorithm::Sha256);
}

QString actualAlgorithmNote(const CheckRow& row)
{
    if (row.state != CheckState::Mismatch || row.actual.isEmpty() || row.candidates.size() < 2) {
        return {};
    }
    return QCoreApplication::translate("CheckRow", "Actual is the %1 digest; no candidate matches")
        .arg(algorithmName(shownAlgorithm(row)));
}

QString nameText(const QByteArray& name)
{
    return displayTextForPath(textForNativePath(name));
}

QByteArray lexicalName(const QByteArray& name)
{
    QList<QByteArray> kept;
    qsizetype climbs = 0; // ".." steps above the folder, which no step before them takes back
    for (const QByteArray& step : name.split('/')) {
        if (step.isEmpty() || step == ".") {
            continue;
        }
        if (step != "..") {
            kept.append(step);
        } else if (!kept.isEmpty()) {
            kept.removeLast();
        } else {
            ++climbs;
        }
    }
    QByteArray lexical = name.startsWith('/') ? QByteArray("/") : QByteArray();
    for (qsizetype i = 0; i < climbs && !name.startsWith('/'); ++i) {
        lexical += "../";
    }
    return lexical + kept.join('/');
}

bool leadsOutsideFolder(const QByteArray& name)
{
    const QByteArray lexical = lexicalName(name);
    return lexical.startsWith('/') || lexical.startsWith("../");
}

QString joinNotes(const QString& first, const QString& second)
{
    if (first.isEmpty() || second.isEmpty()) {
        return first.isEmpty() ? second : first;
    }
    return first + QStringLiteral("; ") + second;
}

QString noteText(const CheckRow& row)
{
    return isSettled(row.state) ? row.note : joinNotes(row.note, row.interim);
}
