#pragma once

#include "CheckModel.h"
#include "CheckReport.h"
#include "CheckRun.h"
#include "Clock.h"
#include "DigestBatch.h"
#include "ListJob.h"
#include "ReadRate.h"

#include <array>
#include <cerrno>
#include <deque>
#include <memory>
#include <optional>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

struct CheckSessionOptions
{
    // The engine's settings and its seams (opener, hashers); the opener also serves comparisons.
    DigestBatchOptions batch;
    // How a checksum list is opened; a seam for lists that come slowly.
    ListOpener openList = openListDevice;
    // The model and the progress change at most this often: many small files cost a repaint per run, not each.
    int updateIntervalMs = 100;
    // The time speed and stalls are measured by; the system's when not given.
    std::shared_ptr<const SteadyClock> clock;
};

struct CheckProgress
{
    quint64 totalBytes = 0; // 0 while unknown
    quint64 bytesDone = 0;
    double bytesPerSecond = 0; // over the last few seconds; 0 while unknown
    qint64 secondsLeft = -1;   // -1 while unknown
    qint64 stalledSeconds = 0; // how long the reading has made no progress, once that is a few seconds
};

// What the check window does, without the window: checks a checksum list, a data file against the digests
// published beside it or pasted, or two files against each other, filling the model. Every file system call
// happens on a worker; results arrive by queued calls and are applied in runs. Starting anything new, cancelling
// or destroying the session abandons the worker in progress without waiting for it, and none of its results
// reaches the model afterwards.
class CheckSession : public QObject
{
    Q_OBJECT

public:
    enum class Mode
    {
        Idle,
        List,
        File,
        Compare,
        Files, // several files, each against the digests published beside it
    };
    enum class PasteResult
    {
        Accepted,
        NotUnderstood, // not a digest in any accepted form
        NoFile,        // no data file to check it against
    };

    explicit CheckSession(CheckModel& model, CheckSessionOptions options = {}, QObject* parent = nullptr);
    ~CheckSession() override;

    // Every entry of the list, names taken against the list's own folder.
    void checkList(const QByteArray& listPath);
    // The list, the data file, or the two files compared, as given.
    const QList<QByteArray>& subjects() const { return m_subjects; }
    // A data file given alone: the digests published beside it, and the first read for the usual digests.
    void checkFile(const QByteArray& path);
    // A digest for the file given by checkFile(); answered at once when its digest is known, else read for.
    PasteResult paste(const QString& text);
    // Two files, byte by byte.
    void compare(const QByteArray& first, const QByteArray& second);
    // Each file against the digests published beside it, as a list's entries are checked.
    void checkFiles(const QList<QByteArray>& paths);
    // Stops at once: rows without an answer become "cancelled".
    void cancel();

    bool isRunning() const { return m_run != nullptr; }
    // A list given as a FIFO whose writer has not come yet.
    bool waitingForWriter() const { return m_waitingForWriter && isRunning(); }
    Mode mode() const { return m_mode; }
    CheckProgress progress() const;
    const QStringList& problems() const { return m_problems; }
    // The checksum files in which a data file's published digests were found.
    const QList<QByteArray>& foundFiles() const { return m_foundFiles; }
    const std::optional<Comparison>& comparison() const { return m_comparison; }
    // The data file given alone turned out to be a folder.
    bool fileIsFolder() const { return m_mode == Mode::File && m_readFailure && m_readFailure->systemError == EISDIR; }
    // A data file given alone: what its latest read is for, and the digests known of it.
    AlgorithmSet readFor() const { return m_readFor; }
    AlgorithmSet computedAlgorithms() const;

    // "3 of 4 checked: 2 OK, 1 MISMATCH, 1 waiting; 1 problem".
    QString summary() const;
    // The summary, what was checked in full, when and by what; every row and the problems, as plain text for the
    // clipboard.
    QString report() const;
    // The same, to be written a run of rows at a time while the model keeps its rows (see ReportText).
    std::unique_ptr<ReportText> reportText() const;
    // The folder the report names a list's entries within (see reportEntryName); empty when not a list.
    QByteArray reportFolder() const;

    static int liveWorkers() { return CheckRun::liveWorkers(); }

signals:
    void progressChanged();
    void problemsChanged();
    void foundFilesChanged();
    // The run has ended: every row has its answer (or was cancelled).
    void finished();

private:
    Q_INVOKABLE void deliver();
    void apply();
    void applyAnswers(std::vector<RowAnswer>& answers);
    void applyConflicts(const std::vector<RowConflict>& conflicts);
    void applyStalled(const std::vector<qsizetype>& stalled);
    void tick();
    void begin(Mode mode, QList<QByteArray> subjects);
    // A run of its own for JOB; a quick look keeps the progress of the read before it.
    void startRun(std::function<void(CheckRun&)> job, bool freshProgress = true);
    void abandonRun();
    // candidatesOnly: a read for candidates a paste needs, which a later paste may make needless.
    void startFileRead(AlgorithmSet algorithms, bool discover, bool candidatesOnly = false);
    void takeDigests(const FileDigests& digests);
    // Answers the data file's rows from the digests known; reads again for candidates not yet computed.
    void settleFileRows();
    void withdrawPaste();
    void showComputedDigests();
    void readEverythingAgain();
    AlgorithmSet algorithmsForRows() const;
    // After a run of the data file's: reads again where needed, true when a run was started.
    bool continueFileCheck(const Delivery& delivery);
    void end();
    // Absolute, against the folder current when the check began.
    QByteArray fullPath(const QByteArray& path) const;

    CheckModel& m_model;
    CheckSessionOptions m_options;
    std::shared_ptr<CheckRun> m_run;
    Mode m_mode = Mode::Idle;
    QList<QByteArray> m_subjects;
    QStringList m_problems;
    std::vector<bool> m_problemIsUnreadLine; // beside each problem: a line not understood, or another problem
    quint64 m_unlistedUnread = 0;            // lines not understood past those listed, counted only
    QDateTime m_checkedAt;                   // when the check began
    QList<QByteArray> m_fullSubjects;        // the subjects against the folder current when it began
    QByteArray m_startFolder;                // that folder, ending in '/'
    QList<QByteArray> m_foundFiles;
    std::optional<Comparison> m_comparison;

    QTimer m_ticker;     // progress and the row being read, while running
    QTimer m_applyTimer; // coalesces deliveries
    QElapsedTimer m_sinceApply;
    ReadRate m_rate;
    quint64 m_totalBytes = 0;
    quint64 m_bytesAnswered = 0; // bytes of the rows answered, for the percentage of the row being read
    qsizetype m_nextUnanswered = 0;
    std::deque<qint64> m_sizes; // of a list's entries from m_sizesFrom on, as far as they are known: -1 for no file
    qsizetype m_sizesFrom = 0;  // the row of m_sizes' first

    // A data file given alone: the digests known from its reads, and the row shown until there is a digest to check.
    std::array<QByteArray, kAlgorithmCount> m_digests;
    AlgorithmSet m_readFor;
    std::optional<FileDigests> m_readFailure;
    // The version of the data file the digests above are of; a paste is answered from them only while it is the same.
    std::optional<FileIdentity> m_readIdentity;
    bool m_looking = false;
    bool m_candidateRead = false;                // the run reads only for the candidates of a paste
    qsizetype m_pastedRow = -1;                  // the row of the latest paste, which the next paste replaces
    std::optional<quint64> m_bytesWhenCancelled; // what a cancelled run had read, for its progress
    bool m_placeholder = false;
    bool m_waitingForWriter = false;
};
