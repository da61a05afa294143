#pragma once

#include "DigestKind.h"
#include "FileFacts.h"
#include "ResultView.h"

#include <memory>
#include <QLocale>
#include <QObject>
#include <QStringList>

class DigestRun;
class DigestService;

// The main window's input state and the analysis of its current path. Facts are read at once; the digests come
// from a worker and fill their rows one by one, so the window stays responsive. New input supersedes a running
// analysis: its worker stops and nothing of it reaches the rows.
class AnalysisSession : public QObject
{
    Q_OBJECT

public:
    static inline const QString kWaiting = QStringLiteral("Waiting ...");
    static inline const QString kCalculating = QStringLiteral("Calculating ...");

    AnalysisSession(DigestService& digests, ResultView& view, QLocale locale = QLocale::system(),
                    QObject* parent = nullptr);
    ~AnalysisSession() override;

    // Start-up: the arguments split from the command line; the first is the path to analyse.
    void takeArguments(const QStringList& arguments);
    // A path from a drop or the file dialog: trimmed, made the only argument, analysed unless empty.
    void TakeInputPath(const QString& text);

    // Analyses CurrentPath; the caller has set CurrentPath and ArgList and CurrentPath is not empty.
    void AnalyzeFile();
    void ClearResults();
    // Stops a running analysis; rows keep what they show.
    void stop();

    bool isRunning() const { return m_run != nullptr; }
    const QString& currentPath() const { return m_currentPath; }
    const QStringList& argList() const { return m_argList; }

signals:
    // After the last digest row is filled, or after a failure has been reported.
    void finished();

private:
    void onDigestReady(DigestKind kind, const QString& digest);
    void onDigestFailed(DigestKind kind, const QString& reason);
    void refuse(PathKind kind);
    void reportReadFailure(const QString& path, const QString& reason);

    DigestService& m_digests;
    ResultView& m_view;
    QLocale m_locale;
    QString m_currentPath;
    QStringList m_argList;
    std::unique_ptr<DigestRun> m_run;
};
