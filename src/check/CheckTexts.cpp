#include "CheckTexts.h"

#include "BesideDigests.h"
#include "CheckReport.h"
#include "ComparisonText.h"
#include "HexDigest.h"
#include "PastedDigest.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <QCoreApplication>
#include <QLocale>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("CheckTexts", text);
}

// "SHA-256, SHA-512, SHA-1, MD5 and CRC-32": most common first, as a paste is most likely to be.
QString algorithmList(const AlgorithmSet& algorithms)
{
    QStringList names;
    for (const AlgorithmInfo& info : kAlgorithmsByCommonness) {
        if (algorithms.contains(info.algorithm)) {
            names.append(algorithmName(info.algorithm));
        }
    }
    // Then the lengths of a family the table names once: "BLAKE2b-256".
    algorithms.forEach([&names](HashAlgorithm algorithm) {
        if (indexOf(algorithm) >= kNamedAlgorithmCount) {
            names.append(algorithmName(algorithm));
        }
    });
    if (names.size() < 2) {
        return names.value(0);
    }
    const QString last = names.takeLast();
    return tr("%1 and %2").arg(names.join(QStringLiteral(", ")), last);
}

// Hex a digit or two short of a digest's length, as a copy that missed its last characters gives: said so, since
// "not a digest" would hide the likely cause.
std::optional<QString> cutShortText(const QString& pasted)
{
    qsizetype digits = 0;
    for (const QChar c : pasted.trimmed()) {
        if (isxdigit(c.unicode()) && c.unicode() < 0x80) {
            ++digits;
        } else if (c != u' ' && c != u':') {
            return std::nullopt;
        }
    }
    for (qsizetype wanted = digits + 1; digits >= 8 && wanted <= digits + 2; ++wanted) {
        const AlgorithmSet algorithms =
            wanted % 2 == 0 ? algorithmsForDigestBytes(static_cast<std::size_t>(wanted / 2)) : AlgorithmSet{};
        if (!algorithms.empty()) {
            return tr("Not understood: %1 hex digits where %2 make a digest (%3): the digest is cut short.")
                .arg(digits)
                .arg(wanted)
                .arg(algorithmList(algorithms));
        }
    }
    return std::nullopt;
}

// Nothing published, or nothing usable: what the read computes for a paste, so that the user knows what to paste.
QString nothingPublishedText(const CheckSession& session)
{
    if (session.isRunning() && session.readFor().empty()) {
        return tr("Looking for published digests beside the file\u2026");
    }
    const QString none = session.problems().isEmpty()
                             ? tr("No published digests found beside the file.")
                             : tr("No published digest beside the file could be used; see the problems.");
    if (session.isRunning()) {
        return none + QLatin1Char(' ') +
               tr("Computing %1, so that a pasted digest of any of them is answered at once.")
                   .arg(algorithmList(session.readFor()));
    }
    const AlgorithmSet computed = session.computedAlgorithms();
    return computed.empty()
               ? none
               : none + QLatin1Char(' ') +
                     tr("Computed %1: paste a digest to check the file against them.").arg(algorithmList(computed));
}

} // namespace

namespace {

// The locale's sizes, but for the one it says "1 bytes" of, and for totals past its signed range (a list's sizes
// add up without bound), which it would show as negative.
QString sizeText(quint64 bytes)
{
    if (bytes == 1) {
        return tr("1 byte");
    }
    if (bytes > static_cast<quint64>(std::numeric_limits<qint64>::max())) {
        return tr("%1 EiB").arg(
            QLocale().toString(static_cast<double>(bytes) / static_cast<double>(1ULL << 60), 'f', 2));
    }
    return QLocale().formattedDataSize(static_cast<qint64>(bytes));
}

} // namespace

QString progressText(const CheckProgress& progress)
{
    QStringList parts;
    const QString done = sizeText(progress.bytesDone);
    parts.append(progress.totalBytes > 0 ? tr("%1 of %2").arg(done, sizeText(progress.totalBytes)) : done);
    if (progress.stalledSeconds > 0) {
        parts.append(tr("no progress for %1 s").arg(progress.stalledSeconds));
    }
    if (progress.bytesPerSecond > 0) {
        parts.append(tr("%1/s").arg(sizeText(static_cast<quint64>(progress.bytesPerSecond))));
    }
    if (progress.secondsLeft >= 0 && progress.bytesDone < progress.totalBytes) {
        const qint64 seconds = progress.secondsLeft;
        parts.append(seconds >= 3600 ? tr("%1 h %2 min left").arg(seconds / 3600).arg(seconds % 3600 / 60)
                     : seconds >= 60 ? tr("%1 min %2 s left").arg(seconds / 60).arg(seconds % 60)
                                     : tr("%1 s left").arg(seconds));
    }
    return parts.join(QStringLiteral(", "));
}

int progressPermille(const CheckProgress& progress)
{
    if (progress.totalBytes == 0) {
        return -1;
    }
    const quint64 done = std::min(progress.bytesDone, progress.totalBytes);
    return static_cast<int>(static_cast<double>(done) / static_cast<double>(progress.totalBytes) * 1000.0);
}

QString pasteAnswerText(CheckSession::PasteResult result, const CheckSession& session, const QString& pasted)
{
    const auto fileName = [](const QByteArray& path) { return nameText(path.sliced(path.lastIndexOf('/') + 1)); };
    switch (result) {
    case CheckSession::PasteResult::Accepted: {
        const std::optional<PastedDigest> read = recognizePastedDigest(pasted.toUtf8());
        if (read && read->form == PastedForm::Base64) {
            // Base64 and hex share most characters: which one was read, and as what, is said.
            QStringList names;
            read->candidates.forEach([&names](HashAlgorithm algorithm) { names.append(algorithmName(algorithm)); });
            return tr("Accepted: \u201c%1\u201d is checked against this digest, read as base64 (%2).")
                .arg(fileName(session.subjects().value(0)), names.join(tr(" or ")));
        }
        return tr("Accepted: \u201c%1\u201d is checked against this digest.")
            .arg(fileName(session.subjects().value(0)));
    }
    case CheckSession::PasteResult::NotUnderstood:
        return cutShortText(pasted).value_or(tr("Not understood: not a digest in any form this window knows."));
    case CheckSession::PasteResult::NoFile:
        break;
    }
    // Which file a paste would check, where the window shows something else.
    switch (session.mode()) {
    case CheckSession::Mode::List:
        return tr("Not checked: a pasted digest is for one file, and the list \u201c%1\u201d is checked entry by "
                  "entry. Choose or drop the file it is for.")
            .arg(fileName(session.subjects().value(0)));
    case CheckSession::Mode::Compare:
        return tr("Not checked: two files were compared. To check \u201c%1\u201d against this digest, choose or drop "
                  "it alone.")
            .arg(fileName(session.subjects().value(0)));
    case CheckSession::Mode::Files:
        return tr("Not checked: several files are checked, each against what is published beside it. To check one "
                  "against this digest, choose or drop it alone.");
    case CheckSession::Mode::Idle:
    case CheckSession::Mode::File:
        break;
    }
    return tr("No file yet: choose or drop the file to check first.");
}

QString whatCanBeDropped()
{
    return tr("Drop a checksum file, a file to check against the digests published beside it, two files to compare, "
              "or several files to check each against the digests published beside it.");
}

QString foundText(const CheckSession& session)
{
    switch (session.mode()) {
    case CheckSession::Mode::File:
    case CheckSession::Mode::Files: {
        if (session.fileIsFolder()) {
            return tr("A folder cannot be checked. %1").arg(whatCanBeDropped());
        }
        const bool one = session.mode() == CheckSession::Mode::File;
        if (session.foundFiles().isEmpty()) {
            if (!one) {
                return session.isRunning() ? tr("Looking for published digests beside the files\u2026")
                                           : tr("No published digests found beside the files.");
            }
            return nothingPublishedText(session);
        }
        QStringList names;
        for (const QByteArray& found : session.foundFiles()) {
            names.append(nameText(found));
        }
        return tr("Published digests found in: %1").arg(names.join(QStringLiteral(", ")));
    }
    case CheckSession::Mode::Compare:
        if (!session.comparison()) {
            return session.isRunning() ? tr("Comparing the two files\u2026") : QString();
        }
        return comparisonText(*session.comparison());
    case CheckSession::Mode::List:
        if (session.waitingForWriter()) {
            return tr("Waiting for a program to write to the list %1\u2026").arg(nameText(session.subjects().value(0)));
        }
        return (session.isRunning() ? tr("Checking the list %1\u2026") : tr("Checked the list %1"))
            .arg(nameText(session.subjects().value(0)));
    case CheckSession::Mode::Idle:
        break;
    }
    return {};
}
