// A data file given alone: its first read, the digests pasted for it, and the rows they answer.
#include "CheckSession.h"
#include "DigestAnswer.h"
#include "FileJob.h"
#include "PastedDigest.h"
#include "WatchedReader.h"

#include <algorithm>

namespace {

QByteArray baseName(const QByteArray& path)
{
    return path.sliced(path.lastIndexOf('/') + 1);
}

// "SHA-256", "SHA-512 and SHA3-512", "SHA3-512, BLAKE2b and SHA-512": pair joins the last two.
QString namesOf(const AlgorithmSet& algorithms, const QString& pair)
{
    QStringList names;
    algorithms.forEach([&names](HashAlgorithm algorithm) { names.append(algorithmName(algorithm)); });
    const QString last = names.isEmpty() ? QString() : names.takeLast();
    return names.isEmpty() ? last : pair.arg(names.join(QStringLiteral(", ")), last);
}

// "no match with SHA-256; checking SHA3-256…"
QString stillCheckingText(const AlgorithmSet& ruledOut, const AlgorithmSet& missing)
{
    const QString checking = CheckSession::tr("checking %1\u2026").arg(namesOf(missing, CheckSession::tr("%1 and %2")));
    if (ruledOut.empty()) {
        return checking;
    }
    return CheckSession::tr("no match with %1; %2").arg(namesOf(ruledOut, CheckSession::tr("%1 or %2")), checking);
}

} // namespace

void CheckSession::checkFile(const QByteArray& path)
{
    begin(Mode::File, {path});
    CheckRow row;
    row.name = baseName(path);
    m_model.append({row});
    m_placeholder = true;
    startFileRead(firstReadAlgorithms(), true);
}

void CheckSession::startFileRead(AlgorithmSet algorithms, bool discover, bool candidatesOnly)
{
    const QByteArray path = m_subjects.value(0);
    startRun([path, algorithms, discover, options = m_options.batch](CheckRun& run) {
        readFileJob(run, path, algorithms, discover, options);
    });
    m_candidateRead = candidatesOnly;
}

CheckSession::PasteResult CheckSession::paste(const QString& text)
{
    const std::optional<PastedDigest> pasted = recognizePastedDigest(text.toUtf8());
    if (!pasted) {
        withdrawPaste();
        return PasteResult::NotUnderstood;
    }
    if (m_mode != Mode::File) {
        return PasteResult::NoFile;
    }
    if (m_placeholder) {
        m_model.clear(); // the rows that only showed the digests computed
        m_placeholder = false;
    }
    CheckRow row;
    row.name = baseName(m_subjects.value(0));
    row.candidates = pasted->candidates;
    row.algorithm = onlyAlgorithm(pasted->candidates);
    row.expected = pasted->digest;
    // Base64 said, so that a digest read in another form than the user thought is seen.
    row.note = pasted->form == PastedForm::Base64 ? tr("pasted as base64") : tr("pasted");
    if (!pasted->name.isEmpty() && pasted->name != row.name && pasted->name != "./" + row.name) {
        row.note = tr("pasted for \u201c%1\u201d").arg(nameText(pasted->name));
    }
    if (m_pastedRow >= 0) {
        // A new paste replaces the answer to the last: a corrected typo leaves no mismatch behind.
        m_model.update(m_pastedRow, m_pastedRow, [&row](CheckRow& earlier, qsizetype) { earlier = std::move(row); });
    } else {
        m_pastedRow = m_model.size();
        m_model.append({row});
    }
    if (m_run && m_candidateRead) {
        // The read for the last paste's candidates may be needless now; the look below reads what is still needed.
        abandonRun();
    }
    // Rows a cancelled read left unanswered are answered by the read this paste starts.
    m_model.update(0, m_model.size() - 1, [](CheckRow& earlier, qsizetype) {
        if (earlier.state == CheckState::Cancelled) {
            earlier.state = CheckState::Waiting;
        }
    });
    if (m_readFailure) {
        // Perhaps it is there now: the first read again, for what the rows need, this digest's candidates included.
        m_readFailure.reset();
        startFileRead(algorithmsForRows(), false);
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

void CheckSession::withdrawPaste()
{
    // The field no longer holds the value the last answer was for: that answer must not stand beside it.
    if (m_mode != Mode::File || m_pastedRow < 0) {
        return;
    }
    if (m_run && m_candidateRead) {
        abandonRun();
    }
    m_model.removeRow(std::exchange(m_pastedRow, -1));
    if (m_model.size() == 0) {
        CheckRow row;
        row.name = baseName(m_subjects.value(0));
        m_model.append({row});
        m_placeholder = true;
        if (!m_run) {
            showComputedDigests();
        }
    }
}

bool CheckSession::continueFileCheck(const Delivery& delivery)
{
    if (std::exchange(m_looking, false)) {
        if (!delivery.identity || delivery.identity != m_readIdentity) {
            readEverythingAgain(); // changed, or not to be trusted
            return true;
        }
        settleFileRows();
        if (m_run) {
            return true;
        }
    }
    if (delivery.digests) {
        const bool holdsEarlierDigests =
            std::any_of(m_digests.begin(), m_digests.end(), [](const QByteArray& digest) { return !digest.isEmpty(); });
        if (holdsEarlierDigests && (!delivery.identity || delivery.identity != m_readIdentity)) {
            // A later read for one more candidate found another version: the digests kept are of one that is gone,
            // and must never answer a paste alongside the new ones.
            readEverythingAgain();
            return true;
        }
        m_readIdentity = delivery.identity;
        if (!delivery.identity &&
            (delivery.digests->isOk() || delivery.digests->failure == DigestFailure::DigestRefused)) {
            // The version read is not the one the name gives after the read: none of its digests answers.
            FileDigests changed;
            changed.failure = DigestFailure::ChangedWhileRead;
            changed.reason = WatchedReader::changedWhileReadReason();
            takeDigests(changed);
        } else {
            takeDigests(*delivery.digests);
        }
        settleFileRows();
        if (m_run) {
            return true; // reading again for a candidate not yet computed
        }
    }
    return false;
}

// What a read of the file is for: the candidates of every row, and with nothing published beside the file, what a
// paste most likely needs too. Published digests alone are read at the cost of those digests.
AlgorithmSet CheckSession::algorithmsForRows() const
{
    AlgorithmSet algorithms = m_foundFiles.isEmpty() ? firstReadAlgorithms() : AlgorithmSet{};
    for (qsizetype i = 0; i < m_model.size(); ++i) {
        algorithms.insert(m_model.row(i).candidates);
    }
    return algorithms;
}

// Every digest from one new read, and every answer given for the version that is gone taken back.
void CheckSession::readEverythingAgain()
{
    m_digests = {};
    m_readIdentity.reset();
    const AlgorithmSet algorithms = algorithmsForRows();
    m_model.update(0, m_model.size() - 1, [](CheckRow& row, qsizetype) {
        if (row.state == CheckState::Ok || row.state == CheckState::Mismatch) {
            row.state = CheckState::Waiting;
            row.actual.clear();
        }
        row.interim.clear();
    });
    startFileRead(algorithms, false);
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
        showComputedDigests();
        return;
    }
    AlgorithmSet unknown;
    m_model.update(0, m_model.size() - 1, [&](CheckRow& row, qsizetype) {
        if (isSettled(row.state)) {
            return;
        }
        row.interim.clear();
        if (m_readFailure) {
            row.state = stateForFailure(m_readFailure->failure);
            row.note = joinNotes(row.note, m_readFailure->reason);
            return;
        }
        std::optional<HashAlgorithm> matched;
        AlgorithmSet missing;
        AlgorithmSet ruledOut;
        row.candidates.forEach([&](HashAlgorithm algorithm) {
            const QByteArray& known = m_digests[indexOf(algorithm)];
            if (known.isEmpty()) {
                missing.insert(algorithm);
            } else if (known == row.expected && !matched) {
                matched = algorithm;
            } else {
                ruledOut.insert(algorithm);
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
            // Answered at once as far as it can be: the row says which candidates are still being read.
            unknown.insert(missing);
            row.state = CheckState::Checking;
            row.percent = 0;
            row.interim = stillCheckingText(ruledOut, missing);
        }
    });
    if (!unknown.empty() && !m_run) {
        startFileRead(unknown, false, true);
    }
}

// Nothing published to check against: each digest computed gets a row of its own, most common first, so that it can
// be copied and compared by hand; a paste replaces them.
void CheckSession::showComputedDigests()
{
    const CheckRow first = m_model.row(0);
    std::vector<CheckRow> rows;
    if (m_readFailure) {
        rows.push_back(first);
        rows.back().state = stateForFailure(m_readFailure->failure);
        rows.back().note = m_readFailure->reason;
    }
    for (const AlgorithmInfo& info : kAlgorithmsByCommonness) {
        const QByteArray& digest = m_digests[indexOf(info.algorithm)];
        if (m_readFailure || digest.isEmpty()) {
            continue;
        }
        CheckRow row;
        row.name = first.name;
        row.candidates = AlgorithmSet{info.algorithm};
        row.algorithm = info.algorithm;
        row.actual = digest;
        row.state = CheckState::NotCompared;
        row.note = m_problems.isEmpty() ? tr("no published digest found beside it")
                                        : tr("no published digest beside it could be used");
        rows.push_back(std::move(row));
    }
    if (rows.empty()) {
        rows.push_back(first);
        rows.back().state = CheckState::NotCompared;
    }
    m_model.clear();
    m_model.append(std::move(rows));
}

AlgorithmSet CheckSession::computedAlgorithms() const
{
    AlgorithmSet computed;
    for (std::size_t i = 0; i < kAlgorithmCount; ++i) {
        if (!m_digests[i].isEmpty()) {
            computed.insert(static_cast<HashAlgorithm>(i));
        }
    }
    return computed;
}
