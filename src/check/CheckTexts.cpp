#include "CheckTexts.h"

#include "CheckReport.h"

#include <algorithm>
#include <QCoreApplication>
#include <QLocale>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("CheckTexts", text);
}

} // namespace

QString progressText(const CheckProgress& progress)
{
    const QLocale locale;
    QStringList parts;
    const QString done = locale.formattedDataSize(static_cast<qint64>(progress.bytesDone));
    parts.append(progress.totalBytes > 0
                     ? tr("%1 of %2").arg(done, locale.formattedDataSize(static_cast<qint64>(progress.totalBytes)))
                     : done);
    if (progress.bytesPerSecond > 0) {
        parts.append(tr("%1/s").arg(locale.formattedDataSize(static_cast<qint64>(progress.bytesPerSecond))));
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

QString pasteAnswerText(CheckSession::PasteResult result)
{
    switch (result) {
    case CheckSession::PasteResult::Accepted:
        return tr("Accepted: the file is checked against this digest.");
    case CheckSession::PasteResult::NotUnderstood:
        return tr("Not understood: not a digest in any form this window knows.");
    case CheckSession::PasteResult::NoFile:
        return tr("No file yet: choose or drop the file to check first.");
    }
    return {};
}

QString foundText(const CheckSession& session)
{
    switch (session.mode()) {
    case CheckSession::Mode::File: {
        if (session.foundFiles().isEmpty()) {
            return session.isRunning() ? tr("Looking for published digests beside the file\u2026")
                                       : tr("No published digests found beside the file.");
        }
        QStringList names;
        for (const QByteArray& found : session.foundFiles()) {
            names.append(reportName(found));
        }
        return tr("Published digests found in: %1").arg(names.join(QStringLiteral(", ")));
    }
    case CheckSession::Mode::Compare:
        if (!session.comparison()) {
            return session.isRunning() ? tr("Comparing the two files\u2026") : QString();
        }
        return session.comparison()->identical ? tr("The files are identical.")
                                               : tr("The files differ; the first difference is at byte %1.")
                                                     .arg(session.comparison()->firstDifference);
    case CheckSession::Mode::List:
        return (session.isRunning() ? tr("Checking the list %1\u2026") : tr("Checked the list %1"))
            .arg(reportName(session.subjects().value(0)));
    case CheckSession::Mode::Idle:
        break;
    }
    return {};
}
