#pragma once

#include "DigestKind.h"
#include "FileFacts.h"
#include "ResultView.h"
#include "ThreadStarter.h"

#include <memory>
#include <QLocale>
#include <QObject>
#include <QStringList>

class DigestRun;
class DigestService;
class FactsRun;

// The main window's input state and the analysis of its current path. The facts come from one worker, then the
// digests from another, filling their rows one by one: the window's thread never touches the file system, so it
// answers even while a mount hangs. New input supersedes a running analysis: its workers are abandoned, never
// waited for, and nothing of them reaches the rows.
//
// TakeInputPath, AnalyzeFile, ClearResults, CurrentPath and ArgList are the window's named operations and state;
// the rest follows Qt's naming.
class AnalysisSession : public QObject
{
    Q_OBJECT

public:
    static inline const QString kWaiting = QStringLiteral("Waiting ...");
    static inline const QString kCalculating = QStringLiteral("Calculating ...");

    // readFacts: empty means the real file system.
    AnalysisSession(std::shared_ptr<DigestService> digests, ResultView& view, QLocale locale = QLocale::system(),
                    ThreadStarter startThread = {}, FactsReader readFacts = {}, QObject* parent = nullptr);
    ~AnalysisSession() override;

    // Start-up: the program's arguments as the system handed them over; the first becomes the current path, which
    // start-up then analyses unless it is empty.
    void takeArguments(const QStringList& arguments);
    // A path from a drop or the file dialog: made the only argument, as it is, and analysed unless empty.
    void TakeInputPath(const QString& text);

    // Analyses CurrentPath; the caller has set CurrentPath and ArgList and CurrentPath is not empty.
    void AnalyzeFile();
    void ClearResults();
    // Abandons a running analysis without waiting for it; rows keep what they show.
    void stop();

    bool isRunning() const { return m_facts != nullptr || m_run != nullptr; }
    bool isReadingFacts() const { return m_facts != nullptr; }
    // Bytes every digest of the running read has taken in; 0 without one. Cheap enough to poll.
    quint64 bytesDigested() const;
    const QString& currentPath() const { return m_currentPath; }
    const QStringList& argList() const { return m_argList; }

signals:
    // The facts are shown, or the path was refused or its facts could not be read and the message has been closed,
    // or the analysis was abandoned before that.
    void factsSettled();
    // After the last digest row is filled, or after a refusal or a failure has been reported.
    void finished();
    // The digests' read of a file of this size starts; digestsStopped follows once it has ended, whichever way.
    void digestsStarted(quint64 size);
    void digestsStopped();

private:
    void onFactsFound(const PathFacts& found);
    void onDigestReady(DigestKind kind, const QString& digest);
    void onBytesRead(quint64 count);
    void onDigestUnavailable(DigestKind kind, const QString& reason);
    void onDigestFailed(DigestKind kind, const QString& reason);
    // Moves "Calculating ..." on past a digest row, or ends the analysis after the last.
    void moveOnFrom(DigestKind kind);
    void refuse(PathKind kind, const QString& reason);
    void reportReadFailure(const QString& path, const QString& reason);

    std::shared_ptr<DigestService> m_digests;
    ResultView& m_view;
    QLocale m_locale;
    ThreadStarter m_startThread;
    FactsReader m_readFacts;
    QString m_currentPath;
    QString m_analysedPath; // what the running analysis works on: new input may change CurrentPath meanwhile
    QStringList m_argList;
    std::unique_ptr<FactsRun> m_facts;
    std::unique_ptr<DigestRun> m_run;
    qint64 m_shownSize = 0;    // the size the facts gave, to hold against what the digests cover
    QStringList m_unavailable; // the reasons of this analysis's digests that cannot be computed here
};
