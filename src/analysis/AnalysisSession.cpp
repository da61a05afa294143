#include "AnalysisSession.h"

#include "DigestRun.h"
#include "FactsRun.h"
#include "FileFacts.h"
#include "NativePath.h"

#include <algorithm>

AnalysisSession::AnalysisSession(std::shared_ptr<DigestService> digests, ResultView& view, QLocale locale,
                                 ThreadStarter startThread, FactsReader readFacts, QObject* parent)
    : QObject(parent), m_digests(std::move(digests)), m_view(view), m_locale(std::move(locale)),
      m_startThread(std::move(startThread)), m_readFacts(std::move(readFacts))
{
    if (!m_readFacts) {
        m_readFacts = [locale = m_locale](const QString& path) { return gatherFacts(path, locale); };
    }
}

AnalysisSession::~AnalysisSession() = default;

void AnalysisSession::takeArguments(const QStringList& arguments)
{
    m_argList = arguments.isEmpty() ? QStringList{QString()} : arguments;
    m_currentPath = m_argList.front();
}

void AnalysisSession::TakeInputPath(const QString& text)
{
    // Taken exactly as given: on Linux a name may begin or end with a space, and trimming it would name another
    // file or none.
    m_currentPath = text;
    m_argList = QStringList{m_currentPath};
    if (!m_currentPath.isEmpty()) {
        AnalyzeFile();
    }
}

void AnalysisSession::stop()
{
    // Deferred deletions: stop() may be reached from one of the runs' own signals.
    if (m_facts) {
        m_facts->abandon();
        disconnect(m_facts.get(), nullptr, this, nullptr);
        m_facts.release()->deleteLater();
        emit factsSettled();
    }
    if (m_run) {
        m_run->abandon();
        disconnect(m_run.get(), nullptr, this, nullptr);
        m_run.release()->deleteLater();
        emit digestsStopped();
    }
}

quint64 AnalysisSession::bytesDigested() const
{
    return m_run ? m_run->bytesDone() : 0;
}

void AnalysisSession::ClearResults()
{
    for (ResultRow row : kAllRows) {
        m_view.setRowText(row, QString());
    }
    m_view.untickAllRows();
}

void AnalysisSession::AnalyzeFile()
{
    stop();
    m_unavailable.clear();
    m_analysedPath = m_currentPath;
    ClearResults();
    // CurrentPath is element 0 of ArgList here: the path tested and the path described are one.
    m_facts = std::make_unique<FactsRun>(m_readFacts, m_analysedPath, m_startThread);
    connect(m_facts.get(), &FactsRun::found, this, &AnalysisSession::onFactsFound);
    m_facts->start();
}

void AnalysisSession::onFactsFound(const PathFacts& found)
{
    m_facts.release()->deleteLater(); // deferred: this runs inside the run's own signal
    if (found.kind != PathKind::RegularFile || !found.facts) {
        if (found.kind != PathKind::RegularFile) {
            refuse(found.kind, found.reason);
        } else {
            reportReadFailure(m_analysedPath, found.reason);
        }
        emit factsSettled();
        emit finished();
        return;
    }
    const FileFacts& facts = *found.facts;
    m_view.setRowText(ResultRow::FileName, facts.name);
    m_view.setRowText(ResultRow::FilePath, facts.path);
    m_view.setRowText(ResultRow::FileSize, facts.size);
    m_shownSize = facts.version.size;
    m_view.setRowText(ResultRow::CreatedDate, facts.created);
    m_view.setRowText(ResultRow::LastAccessed, facts.accessed);
    m_view.setRowText(ResultRow::LastModified, facts.modified);
    for (DigestKind digest : kDigestOrder) {
        m_view.setRowText(rowFor(digest), kWaiting);
    }

    // The path analysed, not CurrentPath: a cancelled Browse may have emptied that while the facts were read.
    m_run = std::make_unique<DigestRun>(m_digests, m_analysedPath, facts.version, m_startThread);
    connect(m_run.get(), &DigestRun::digestReady, this, &AnalysisSession::onDigestReady);
    connect(m_run.get(), &DigestRun::bytesRead, this, &AnalysisSession::onBytesRead);
    connect(m_run.get(), &DigestRun::unavailable, this, &AnalysisSession::onDigestUnavailable);
    connect(m_run.get(), &DigestRun::failed, this, &AnalysisSession::onDigestFailed);
    m_view.setRowText(rowFor(kDigestOrder.front()), kCalculating);
    m_run->start();
    emit digestsStarted(static_cast<quint64>(std::max<qint64>(m_shownSize, 0)));
    emit factsSettled();
}

void AnalysisSession::refuse(PathKind kind, const QString& reason)
{
    if (kind == PathKind::Folder) {
        m_view.showMessage(tr("Folder selection detected. Analysing a folder is not available; please choose a file."));
        return;
    }
    const QString message = QStringLiteral("Invalid file path: ") + displayTextForPath(m_analysedPath);
    // Something is there: say why it cannot be analysed, or the user is told the path is wrong when it is not.
    m_view.showMessage(kind == PathKind::Other && !reason.isEmpty() ? message + QStringLiteral("\n\n") + reason
                                                                    : message);
}

void AnalysisSession::reportReadFailure(const QString& path, const QString& reason)
{
    m_view.showMessage(tr("Cannot read the file %1\n\n%2").arg(displayTextForPath(path), reason));
}

void AnalysisSession::onDigestReady(DigestKind kind, const QString& digest)
{
    m_view.setRowText(rowFor(kind), digest);
    moveOnFrom(kind);
}

void AnalysisSession::onBytesRead(quint64 count)
{
    // Files under /proc and /sys say they are empty and yet have content. The digests are of what was read; a size
    // row saying 0 alone would contradict them, in the window and in every report copied from it.
    if (count != static_cast<quint64>(m_shownSize)) {
        m_view.setRowText(ResultRow::FileSize, tr("%1 (%2 bytes read)").arg(m_shownSize).arg(count));
    }
}

void AnalysisSession::onDigestUnavailable(DigestKind kind, const QString& reason)
{
    m_view.setRowText(rowFor(kind), QString());
    m_unavailable.append(reason);
    moveOnFrom(kind);
}

void AnalysisSession::moveOnFrom(DigestKind kind)
{
    const auto next = std::find(kDigestOrder.begin(), kDigestOrder.end(), kind) + 1;
    if (next != kDigestOrder.end()) {
        m_view.setRowText(rowFor(*next), kCalculating);
        return;
    }
    const QString path = m_analysedPath;
    stop();
    if (!m_unavailable.isEmpty()) {
        // One message for all of them, once every row that can be filled is.
        m_view.showMessage(tr("Not every digest of %1 can be computed on this system.\n\n%2")
                               .arg(displayTextForPath(path), m_unavailable.join(u'\n')));
    }
    emit finished();
}

void AnalysisSession::onDigestFailed(DigestKind kind, const QString& reason)
{
    const QString path = m_analysedPath;
    stop();
    for (auto pending = std::find(kDigestOrder.begin(), kDigestOrder.end(), kind); pending != kDigestOrder.end();
         ++pending) {
        m_view.setRowText(rowFor(*pending), QString());
    }
    reportReadFailure(path, reason);
    emit finished();
}
