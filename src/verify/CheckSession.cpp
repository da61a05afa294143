#include "CheckSession.h"

#include "CheckReport.h"
#include "CompareJob.h"
#include "DigestAnswer.h"
#include "FileJob.h"
#include "HexDigest.h"
#include "ListJob.h"
#include "PastedDigest.h"

#include <algorithm>
#include <QCoreApplication>
#include <utility>

namespace {

QString joinNotes(const QString& first, const QString& second)
{
    if (first.isEmpty() || second.isEmpty()) {
        return first.isEmpty() ? second : first;
    }
    return first + QStringLiteral("; ") + second;
}

QByteArray baseName(const QByteArray& path)
{
    return path.sliced(path.lastIndexOf('/') + 1);
}

} // namespace

CheckSession::CheckSession(CheckModel& model, CheckSessionOptions options, QObject* parent)
    : QObject(parent), m_model(model), m_options(std::move(options))
{
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
    m_foundFiles.clear();
    m_comparison.reset();
    m_digests = {};
    m_readFailure.reset();
    m_placeholder = false;
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
    m_sinceStart.start();
    m_sinceApply.start();
    m_run = std::make_shared<CheckRun>(this, "deliver");
    m_ticker.start();
    CheckRun::start(m_run, std::move(job));
    emit progressChanged();
}

void CheckSession::checkList(const QByteArray& listPath)
{
    begin(Mode::List, {listPath});
    startRun([listPath, options = m_options.batch](CheckRun& run) { checkListJob(run, listPath, options); });
}

void CheckSession::checkFile(const QByteArray& path)
{
    begin(Mode::File, {path});
    CheckRow row;
    row.name = baseName(path);
    row.path = path;
    m_model.append({row});
    m_placeholder = true;
    startFileRead(firstReadAlgorithms(), true);
}

void CheckSession::startFileRead(AlgorithmSet algorithms, bool discover)
{
    const QByteArray path = m_subjects.value(0);
    startRun([path, algorithms, discover, options = m_options.batch](CheckRun& run) {
        readFileJob(run, path, algorithms, discover, options);
    });
}

CheckSession::PasteResult CheckSession::paste(const QString& text)
{
    const std::optional<PastedDigest> pasted = recognizePastedDigest(text.toUtf8());
    if (!pasted) {
        return PasteResult::NotUnderstood;
    }
    if (m_mode != Mode::File) {
        return PasteResult::NoFile;
    }
    if (m_placeholder) {
        m_model.removeRow(0);
        m_placeholder = false;
    }
    CheckRow row;
    row.name = baseName(m_subjects.value(0));
    row.path = m_subjects.value(0);
    row.candidates = pasted->candidates;
    row.algorithm = onlyAlgorithm(pasted->candidates);
    row.expected = pasted->digest;
    row.note = tr("pasted");
    if (!pasted->name.isEmpty() && pasted->name != row.name && pasted->name != "./" + row.name) {
        row.note = tr("pasted for \u201c%1\u201d").arg(nameText(pasted->name));
    }
    m_model.append({row});
    if (m_readFailure) {
        // Perhaps it is there now: the whole first read again, this digest's candidates included.
        m_readFailure.reset();
        AlgorithmSet algorithms = firstReadAlgorithms();
        algorithms.insert(pasted->candidates);
        startFileRead(algorithms, false);
        return PasteResult::Accepted;
    }
    if (!m_run) {
        // The file is looked at again first: it may have changed since its digests were computed.
        m_looking = true;
        const QByteArray path = m_subjects.value(0);
        startRun([path](CheckRun& run) { lookJob(run, path); }, false);
    }
    return PasteResult::Accepted;
}

void CheckSession::compare(const QByteArray& first, const QByteArray& second)
{
    begin(Mode::Compare, {first, second});
    std::vector<CheckRow> rows(2);
    rows[0].name = rows[0].path = first;
    rows[1].name = rows[1].path = second;
    m_model.append(std::move(rows));
    FileOpener opener = m_options.batch.opener ? m_options.batch.opener : FileOpener(RegularFile::open);
    startRun([first, second, opener](CheckRun& run) { compareJob(run, first, second, opener); });
}

void CheckSession::cancel()
{
    if (!m_run) {
        return;
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
    if (!delivery.newRows.empty()) {
        if (m_placeholder) {
            m_model.removeRow(0);
            m_placeholder = false;
        }
        m_model.append(std::move(delivery.newRows));
    }
    applyConflicts(delivery.conflicts);
    if (delivery.totalBytes) {
        m_totalBytes = *delivery.totalBytes;
    }
    if (!delivery.problems.isEmpty()) {
        m_problems += delivery.problems;
        emit problemsChanged();
    }
    if (!delivery.foundFiles.isEmpty()) {
        m_foundFiles += delivery.foundFiles;
        emit foundFilesChanged();
    }
    applyAnswers(delivery.answers);
    if (delivery.comparison) {
        m_comparison = delivery.comparison;
    }
    tick();
    if (!delivery.finished) {
        return;
    }
    m_run.reset();
    m_ticker.stop();
    if (std::exchange(m_looking, false)) {
        if (!delivery.identity || delivery.identity != m_readIdentity) {
            // Changed, or not to be trusted: every digest is read again, from one new read.
            m_digests = {};
            m_readIdentity.reset();
            AlgorithmSet algorithms = firstReadAlgorithms();
            m_model.update(0, m_model.size() - 1, [&algorithms](CheckRow& row, qsizetype) {
                algorithms.insert(row.candidates);
                if (row.state == CheckState::Ok || row.state == CheckState::Mismatch) {
                    row.state = CheckState::Waiting; // answered for a version that is gone
                    row.actual.clear();
                }
            });
            startFileRead(algorithms, false);
            return;
        }
        settleFileRows();
        if (m_run) {
            return;
        }
    }
    if (delivery.digests) {
        m_readIdentity = delivery.identity;
        takeDigests(*delivery.digests);
        settleFileRows();
        if (m_run) {
            return; // reading again for a candidate not yet computed
        }
    }
    end();
}

void CheckSession::applyAnswers(std::vector<RowAnswer>& answers)
{
    if (answers.empty()) {
        return;
    }
    qsizetype first = answers.front().row;
    qsizetype last = first;
    for (const RowAnswer& answer : answers) {
        first = std::min(first, answer.row);
        last = std::max(last, answer.row);
        m_bytesAnswered += answer.bytesRead;
        m_nextUnanswered = std::max(m_nextUnanswered, answer.row + 1);
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
        }
    });
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

void CheckSession::takeDigests(const FileDigests& digests)
{
    if (!digests.isOk() && digests.failure != DigestFailure::DigestRefused) {
        m_readFailure = digests;
        return;
    }
    m_readFailure.reset();
    // Each digest comes from one consistent read of the file; a refused one stays unknown.
    for (std::size_t i = 0; i < kAlgorithmCount; ++i) {
        if (!digests.digests[i].isEmpty()) {
            m_digests[i] = digests.digests[i];
        }
    }
}

void CheckSession::settleFileRows()
{
    if (m_placeholder) {
        m_model.update(0, 0, [this](CheckRow& row, qsizetype) {
            row.state = m_readFailure ? stateForFailure(m_readFailure->failure) : CheckState::NotCompared;
            row.note = m_readFailure ? m_readFailure->reason : tr("no published digest found beside it");
        });
        return;
    }
    AlgorithmSet unknown;
    m_model.update(0, m_model.size() - 1, [&](CheckRow& row, qsizetype) {
        if (isSettled(row.state)) {
            return;
        }
        if (m_readFailure) {
            row.state = stateForFailure(m_readFailure->failure);
            row.note = joinNotes(row.note, m_readFailure->reason);
            return;
        }
        std::optional<HashAlgorithm> matched;
        AlgorithmSet missing;
        row.candidates.forEach([&](HashAlgorithm algorithm) {
            const QByteArray& known = m_digests[indexOf(algorithm)];
            if (known.isEmpty()) {
                missing.insert(algorithm);
            } else if (known == row.expected && !matched) {
                matched = algorithm;
            }
        });
        if (matched) {
            row.state = CheckState::Ok;
            row.algorithm = matched;
            row.actual = row.expected;
        } else if (missing.empty()) {
            row.state = CheckState::Mismatch;
            row.actual = m_digests[indexOf(shownAlgorithm(row))];
        } else {
            unknown.insert(missing);
            row.state = CheckState::Waiting;
        }
    });
    if (!unknown.empty() && !m_run) {
        startFileRead(unknown, false);
    }
}

void CheckSession::tick()
{
    if (m_run) {
        const quint64 done = m_run->bytesDone();
        const auto percentOf = [](quint64 part, quint64 whole) {
            return whole == 0 ? 0 : static_cast<int>(std::min<quint64>(99, part * 100 / whole));
        };
        if (m_mode == Mode::List) {
            if (m_nextUnanswered < m_model.size()) {
                const CheckRow& next = m_model.row(m_nextUnanswered);
                const quint64 size = next.size > 0 ? static_cast<quint64>(next.size) : 0;
                const int percent = percentOf(done > m_bytesAnswered ? done - m_bytesAnswered : 0, size);
                if (next.state == CheckState::Waiting ||
                    (next.state == CheckState::Checking && next.percent != percent)) {
                    m_model.update(m_nextUnanswered, m_nextUnanswered, [percent](CheckRow& row, qsizetype) {
                        row.state = CheckState::Checking;
                        row.percent = percent;
                    });
                }
            }
        } else {
            const int percent = percentOf(done, m_totalBytes);
            m_model.update(0, m_model.size() - 1, [percent](CheckRow& row, qsizetype) {
                if (!isSettled(row.state)) {
                    row.state = CheckState::Checking;
                    row.percent = percent;
                }
            });
        }
    }
    emit progressChanged();
}

CheckProgress CheckSession::progress() const
{
    CheckProgress progress;
    progress.totalBytes = m_totalBytes;
    if (!m_run) {
        progress.bytesDone = m_bytesWhenCancelled.value_or(m_totalBytes);
        progress.secondsLeft = m_bytesWhenCancelled ? -1 : 0; // a cancelled run has no time left to tell
        return progress;
    }
    progress.bytesDone = m_run->bytesDone();
    const double seconds = static_cast<double>(m_sinceStart.elapsed()) / 1000.0;
    if (seconds > 0.2) {
        progress.bytesPerSecond = static_cast<double>(progress.bytesDone) / seconds;
    }
    if (progress.bytesPerSecond > 0 && m_totalBytes >= progress.bytesDone) {
        progress.secondsLeft =
            static_cast<qint64>(static_cast<double>(m_totalBytes - progress.bytesDone) / progress.bytesPerSecond);
    }
    return progress;
}

void CheckSession::end()
{
    emit progressChanged();
    emit finished();
}

QString CheckSession::summary() const
{
    return checkSummary(m_model, m_problems.size());
}

QString CheckSession::report() const
{
    QStringList header;
    switch (m_mode) {
    case Mode::Idle:
        break;
    case Mode::List:
        header.append(tr("Checksum list: %1").arg(reportName(m_subjects.value(0))));
        break;
    case Mode::File:
        header.append(tr("File: %1").arg(reportName(m_subjects.value(0))));
        for (const QByteArray& found : m_foundFiles) {
            header.append(tr("Published digests found in: %1").arg(reportName(found)));
        }
        break;
    case Mode::Compare:
        header.append(tr("Compared: %1").arg(reportName(m_subjects.value(0))));
        header.append(tr("with: %1").arg(reportName(m_subjects.value(1))));
        if (m_comparison) {
            header.append(
                m_comparison->identical
                    ? tr("The files are identical.")
                    : tr("The files differ; the first difference is at byte %1.").arg(m_comparison->firstDifference));
        }
        break;
    }
    return checkReport(header, m_model, m_problems);
}
