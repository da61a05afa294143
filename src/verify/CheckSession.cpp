// The session's runs: starting and abandoning them, and applying what their workers deliver, in runs.
#include "CheckSession.h"

#include "BesideFilesJob.h"
#include "CompareJob.h"
#include "ListJob.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <utility>

CheckSession::CheckSession(CheckModel& model, CheckSessionOptions options, QObject* parent)
    : QObject(parent), m_model(model), m_options(std::move(options))
{
    // A folder is named in the window's words whatever is being checked: a list's entry, a data file or a comparison.
    m_options.batch.systemWordsForFolders = false;
    if (!m_options.clock) {
        m_options.clock = std::make_shared<SystemSteadyClock>();
    }
    m_ticker.setInterval(m_options.updateIntervalMs);
    connect(&m_ticker, &QTimer::timeout, this, &CheckSession::tick);
    m_applyTimer.setSingleShot(true);
    connect(&m_applyTimer, &QTimer::timeout, this, &CheckSession::apply);
}

CheckSession::~CheckSession()
{
    abandonRun();
}

void CheckSession::abandonRun()
{
    if (m_run) {
        m_run->abandon();
        m_run.reset();
    }
    m_applyTimer.stop();
    m_ticker.stop();
}

void CheckSession::begin(Mode mode, QList<QByteArray> subjects)
{
    abandonRun();
    m_bytesWhenCancelled.reset();
    m_mode = mode;
    m_subjects = std::move(subjects);
    m_problems.clear();
    m_problemIsUnreadLine.clear();
    m_unlistedUnread = 0;
    m_waitingForWriter = false;
    m_checkedAt = QDateTime::currentDateTime();
    m_fullSubjects.clear();
    // Names are taken against the folder current now: the report names the same file wherever it is pasted.
    m_startFolder = QFile::encodeName(QDir::currentPath());
    if (!m_startFolder.endsWith('/')) {
        m_startFolder += '/';
    }
    for (const QByteArray& subject : m_subjects) {
        m_fullSubjects.append(fullPath(subject));
    }
    m_foundFiles.clear();
    m_comparison.reset();
    m_digests = {};
    m_readFor = {};
    m_readFailure.reset();
    m_placeholder = false;
    m_pastedRow = -1;
    m_sizes.clear();
    m_sizesFrom = 0;
    m_model.clear();
    emit problemsChanged();
    emit foundFilesChanged();
}

void CheckSession::startRun(std::function<void(CheckRun&)> job, bool freshProgress)
{
    abandonRun();
    m_bytesWhenCancelled.reset();
    if (freshProgress) {
        m_totalBytes = 0;
        m_bytesAnswered = 0;
    }
    m_nextUnanswered = 0;
    m_rate.restart(m_options.clock->now());
    m_candidateRead = false;
    m_sinceApply.start();
    m_run = std::make_shared<CheckRun>(this, "deliver");
    m_ticker.start();
    CheckRun::start(m_run, std::move(job));
    emit progressChanged();
}

void CheckSession::checkList(const QByteArray& listPath)
{
    begin(Mode::List, {listPath});
    startRun([listPath, options = m_options.batch, open = m_options.openList](CheckRun& run) {
        checkListJob(run, listPath, options, open);
    });
}

void CheckSession::compare(const QByteArray& first, const QByteArray& second)
{
    begin(Mode::Compare, {first, second});
    std::vector<CheckRow> rows(2);
    rows[0].name = first;
    rows[1].name = second;
    m_model.append(std::move(rows));
    FileOpener opener = m_options.batch.opener ? m_options.batch.opener : FileOpener(RegularFile::open);
    startRun([first, second, opener](CheckRun& run) { compareJob(run, first, second, opener); });
}

void CheckSession::checkFiles(const QList<QByteArray>& paths)
{
    begin(Mode::Files, paths);
    startRun([paths, options = m_options.batch](CheckRun& run) { checkBesideFilesJob(run, paths, options); });
}

void CheckSession::cancel()
{
    if (!m_run) {
        return;
    }
    // What the worker found before the Cancel is kept, though the next model update was not due yet: the rows read
    // so far, and what was published beside the file.
    m_applyTimer.stop();
    apply();
    if (!m_run) {
        return; // it had finished
    }
    m_bytesWhenCancelled = m_run->bytesDone();
    abandonRun();
    m_model.update(0, m_model.size() - 1, [](CheckRow& row, qsizetype) {
        if (!isSettled(row.state)) {
            row.state = CheckState::Cancelled;
        }
    });
    end();
}

void CheckSession::deliver()
{
    // At most one model update per interval: what arrives meanwhile waits for the next.
    if (m_applyTimer.isActive()) {
        return;
    }
    const qint64 wait = std::max<qint64>(0, m_options.updateIntervalMs - m_sinceApply.elapsed());
    m_applyTimer.start(static_cast<int>(wait));
}

void CheckSession::apply()
{
    if (!m_run) {
        return;
    }
    m_sinceApply.start();
    const std::shared_ptr<CheckRun> run = m_run;
    Delivery delivery = run->take();
    if (delivery.totalBytes || !delivery.newRows.empty() || !delivery.answers.empty()) {
        m_rate.noteActivity(m_options.clock->now()); // entries answered without a byte read are progress too
    }
    if (!delivery.newRows.empty()) {
        if (m_placeholder) {
            m_model.clear();
            m_placeholder = false;
        }
        m_model.append(std::move(delivery.newRows));
    }
    applyConflicts(delivery.conflicts);
    m_sizes.insert(m_sizes.end(), delivery.sizes.begin(), delivery.sizes.end());
    if (delivery.totalBytes) {
        m_totalBytes = *delivery.totalBytes;
    }
    if (delivery.readFor && *delivery.readFor != m_readFor) {
        m_readFor = *delivery.readFor;
        emit foundFilesChanged(); // what is being read for is told beside what was found
    }
    m_unlistedUnread += delivery.unlistedUnread;
    if (!delivery.problems.isEmpty() || !delivery.unreadLines.isEmpty()) {
        m_problems += delivery.unreadLines;
        m_problemIsUnreadLine.resize(m_problems.size(), true);
        m_problems += delivery.problems;
        m_problemIsUnreadLine.resize(m_problems.size(), false);
        emit problemsChanged();
    }
    if (!delivery.foundFiles.isEmpty()) {
        m_foundFiles += delivery.foundFiles;
        emit foundFilesChanged();
    }
    applyAnswers(delivery.answers);
    applyStalled(delivery.stalled);
    if (delivery.comparison) {
        m_comparison = delivery.comparison;
    }
    if (delivery.waitingForWriter) {
        m_waitingForWriter = *delivery.waitingForWriter;
    }
    tick();
    if (!delivery.finished) {
        return;
    }
    m_run.reset();
    m_ticker.stop();
    if (delivery.dataFileIsPipe && m_mode == Mode::File) {
        checkList(m_subjects.value(0));
        return;
    }
    if (continueFileCheck(delivery)) {
        return;
    }
    end();
}

void CheckSession::applyAnswers(std::vector<RowAnswer>& answers)
{
    if (answers.empty()) {
        return;
    }
    // A list's answers come as each is known, not in the rows' order.
    std::stable_sort(answers.begin(), answers.end(),
                     [](const RowAnswer& a, const RowAnswer& b) { return a.row < b.row; });
    qsizetype first = answers.front().row;
    qsizetype last = first;
    for (const RowAnswer& answer : answers) {
        first = std::min(first, answer.row);
        last = std::max(last, answer.row);
        m_bytesAnswered += answer.bytesRead;
    }
    last = std::min(last, m_model.size() - 1);
    std::size_t next = 0;
    m_model.update(first, last, [&](CheckRow& row, qsizetype index) {
        while (next < answers.size() && answers[next].row < index) {
            ++next;
        }
        if (next < answers.size() && answers[next].row == index) {
            const RowAnswer& answer = answers[next];
            row.state = answer.state;
            if (answer.algorithm) {
                row.algorithm = answer.algorithm;
            }
            row.actual = answer.actual;
            row.note = joinNotes(row.note, answer.note);
            row.outsideFolder = row.outsideFolder || answer.outsideFolder;
        }
    });
    // The row being read is the first without its answer: answers come as each is known, not in order.
    while (m_nextUnanswered < m_model.size() && isSettled(m_model.row(m_nextUnanswered).state)) {
        ++m_nextUnanswered;
    }
}

void CheckSession::applyConflicts(const std::vector<RowConflict>& conflicts)
{
    for (const RowConflict& conflict : conflicts) {
        m_model.update(conflict.row, conflict.row, [&conflict](CheckRow& row, qsizetype) {
            row.conflicting = true;
            row.note = joinNotes(conflict.note, row.note);
        });
    }
}

void CheckSession::applyStalled(const std::vector<qsizetype>& stalled)
{
    for (const qsizetype index : stalled) {
        if (index < m_model.size() && !isSettled(m_model.row(index).state)) {
            m_model.update(index, index, [](CheckRow& row, qsizetype) { row.state = CheckState::Stalled; });
        }
    }
}

void CheckSession::end()
{
    emit progressChanged();
    emit finished();
}
