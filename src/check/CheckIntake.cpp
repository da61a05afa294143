#include "CheckIntake.h"

#include "BesideDigests.h"
#include "CheckReport.h"
#include "NativePath.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLocale>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("CheckIntake", text);
}

} // namespace

bool isChecksumListName(const QByteArray& path)
{
    const QByteArray name = path.sliced(path.lastIndexOf('/') + 1);
    for (const BesideName& beside : kBesideNames) {
        const bool suffix = beside.name[0] == '.';
        // A file called ".sha256" alone is a hidden data file, not a list for a file with no name.
        if (suffix ? name.size() > static_cast<qsizetype>(qstrlen(beside.name)) && name.endsWith(beside.name)
                   : name == beside.name) {
            return true;
        }
    }
    return name.size() > 4 && name.endsWith("SUMS");
}

void CheckIntake::take(const QByteArray& path, bool compareWithLoaded)
{
    if (compareWithLoaded && this->compareWithLoaded(path)) {
        return;
    }
    if (isChecksumListName(path)) {
        takeList(path);
    } else {
        takeDataFile(path);
    }
}

void CheckIntake::takeList(const QByteArray& listPath)
{
    m_dataFile.clear();
    m_session.checkList(listPath);
}

void CheckIntake::takeDataFile(const QByteArray& path)
{
    m_dataFile = path;
    m_session.checkFile(path);
}

bool CheckIntake::compareWithLoaded(const QByteArray& second)
{
    if (m_dataFile.isEmpty()) {
        return false;
    }
    m_session.compare(m_dataFile, second);
    return true;
}

void CheckIntake::compare(const QByteArray& first, const QByteArray& second)
{
    m_dataFile = first;
    m_session.compare(first, second);
}

CheckArguments parseCheckArguments(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Checks files against their published digests: every entry of a checksum file, a file against the "
           "digests found beside it or pasted, or two files against each other."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 tr("A checksum file to check, or a file to check against what is published beside "
                                    "it."),
                                 QStringLiteral("[FILE"));
    parser.addPositionalArgument(QStringLiteral("SECOND"), tr("A second file to compare FILE with."),
                                 QStringLiteral("[SECOND]]"));
    CheckArguments result;
    const bool parsed = parser.parse(arguments);
    result.helpText = parser.helpText();
    if (!parsed) {
        result.error = parser.errorText();
        return result;
    }
    // --help-all would add Qt's own options, which this program never hands to Qt: the same help.
    result.help = parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"));
    result.version = parser.isSet(versionOption);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 2) {
        result.error = tr("At most two files: FILE and the SECOND to compare it with.");
        return result;
    }
    for (const QString& file : files) {
        const std::optional<QByteArray> native = nativePathFor(file);
        if (!native || native->isEmpty()) {
            result.error = tr("Not a file name: \u201c%1\u201d").arg(displayTextForPath(file));
            return result;
        }
        result.files.append(*native);
    }
    return result;
}

void takeArguments(CheckIntake& intake, const QList<QByteArray>& files)
{
    if (files.size() == 1) {
        intake.take(files[0]);
    } else if (files.size() == 2) {
        intake.compare(files[0], files[1]);
    }
}

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
        return tr("Checking the list %1").arg(reportName(session.subjects().value(0)));
    case CheckSession::Mode::Idle:
        break;
    }
    return {};
}
