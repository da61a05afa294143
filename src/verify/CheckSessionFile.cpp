// A data file given alone: its first read, the digests pasted for it, and the rows they answer.
#include "CheckSession.h"
#include "DigestAnswer.h"
#include "FileJob.h"
#include "PastedDigest.h"

#include <algorithm>

namespace {

QByteArray baseName(const QByteArray& path)
{
    return path.sliced(path.lastIndexOf('/') + 1);
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
        takeDigests(*delivery.digests);
        settleFileRows();
        if (m_run) {
            return true; // reading again for a candidate not yet computed
        }
    }
    return false;
}

// Every digest from one new read, and every answer given for the version that is gone taken back.
void CheckSession::readEverythingAgain()
{
    m_digests = {};
    m_readIdentity.reset();
    AlgorithmSet algorithms = firstReadAlgorithms();
    m_model.update(0, m_model.size() - 1, [&algorithms](CheckRow& row, qsizetype) {
        algorithms.insert(row.candidates);
        if (row.state == CheckState::Ok || row.state == CheckState::Mismatch) {
            row.state = CheckState::Waiting;
            row.actual.clear();
        }
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
