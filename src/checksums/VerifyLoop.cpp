#include "VerifyLoop.h"

#include "ChecksumListReader.h"
#include "HexDigest.h"

#include <cerrno>
#include <deque>
#include <optional>

namespace {

struct PendingLine
{
    ListLine line;
    AlgorithmSet candidates;
    bool awaitsDigest = false;
    bool sharesPrevious = false; // its digest comes from the read of the entry before it, which names the same file
};

// The candidate whose digest a mismatch shows: the only one, else the one preferred for the length.
HashAlgorithm shownCandidate(const ChecksumEntry& entry, const AlgorithmSet& candidates)
{
    const std::optional<HashAlgorithm> preferred =
        preferredAlgorithmForDigestBytes(static_cast<std::size_t>(entry.expected.size()));
    if (candidates.size() != 1 && preferred && candidates.contains(*preferred)) {
        return *preferred;
    }
    std::optional<HashAlgorithm> first;
    candidates.forEach([&first](HashAlgorithm algorithm) { first = first.value_or(algorithm); });
    return first.value_or(entry.algorithm);
}

} // namespace

void VerifyCounts::add(VerifyOutcome outcome)
{
    switch (outcome) {
    case VerifyOutcome::Matched:
        ++matched;
        break;
    case VerifyOutcome::Mismatched:
        ++mismatched;
        break;
    case VerifyOutcome::Unreadable:
        ++unreadable;
        break;
    case VerifyOutcome::MissingIgnored:
        ++missingIgnored;
        break;
    case VerifyOutcome::Malformed:
        ++malformed;
        break;
    }
}

QByteArray resolveEntryName(const QByteArray& name, const QByteArray& baseFolder)
{
    if (baseFolder.isEmpty() || name.startsWith('/')) {
        return name;
    }
    return baseFolder.endsWith('/') ? baseFolder + name : baseFolder + '/' + name;
}

VerifyRequest requestFor(const ChecksumEntry& entry, const VerifyOptions& options)
{
    VerifyRequest request;
    request.algorithms = options.candidates ? options.candidates(entry) : AlgorithmSet{entry.algorithm};
    request.fromStandardInput = options.dashIsStandardInput && entry.name == "-";
    request.nativePath = resolveEntryName(entry.name, options.baseFolder);
    return request;
}

bool sharesRead(const VerifyRequest& earlier, const VerifyRequest& later)
{
    return !earlier.fromStandardInput && !later.fromStandardInput && earlier.nativePath == later.nativePath;
}

VerifyEvent judgeEntry(const ChecksumEntry& entry, const AlgorithmSet& candidates, const FileDigests& result,
                       bool ignoreMissing)
{
    VerifyEvent event;
    event.entry = entry;
    event.candidates = candidates;
    if (!result.isOk() && result.failure != DigestFailure::DigestRefused) {
        event.failure = result.failure;
        event.reason = result.reason;
        const bool absent = event.failure == DigestFailure::Missing && result.systemError != ENOTDIR;
        event.outcome = ignoreMissing && absent ? VerifyOutcome::MissingIgnored : VerifyOutcome::Unreadable;
        return event;
    }
    QString refusal;
    candidates.forEach([&](HashAlgorithm algorithm) {
        const QByteArray& actual = result.digest(algorithm);
        if (actual.isEmpty()) {
            refusal = result.refusals[indexOf(algorithm)];
        } else if (actual == entry.expected && !event.algorithm) {
            event.algorithm = algorithm;
        }
    });
    const HashAlgorithm shown = shownCandidate(entry, candidates);
    if (event.algorithm) {
        event.outcome = VerifyOutcome::Matched;
        event.actual = entry.expected;
    } else if (!refusal.isEmpty() || result.digest(shown).isEmpty()) {
        event.outcome = VerifyOutcome::Unreadable;
        event.failure = DigestFailure::DigestRefused;
        event.reason = refusal.isEmpty() ? result.reason : refusal;
    } else {
        event.outcome = VerifyOutcome::Mismatched;
        event.algorithm = shown;
        event.actual = result.digest(shown);
    }
    return event;
}

VerifyCounts verifyList(ChecksumListReader& reader, DigestSource& source, VerifyObserver& observer,
                        const VerifyOptions& options)
{
    VerifyCounts counts;
    std::deque<PendingLine> pending;
    std::size_t inFlight = 0;
    // The request of the latest entries, held back while the lines after it may name the same file: a list made for
    // several digests names each file once per digest, and every file is still read once.
    std::optional<VerifyRequest> unsent;
    FileDigests lastResult;
    const std::size_t window = std::max<std::size_t>(options.window, 1);
    bool more = true;

    // Reports the oldest line: an improperly formatted one at once, an entry when its digest is back.
    const auto reportOldest = [&] {
        PendingLine oldest = std::move(pending.front());
        pending.pop_front();
        VerifyEvent event;
        if (oldest.awaitsDigest) {
            if (!oldest.sharesPrevious) {
                // Requests go out in the order of their first lines: with none out, this line's is the one held.
                if (inFlight == 0) {
                    source.submit(*unsent);
                    unsent.reset();
                    ++inFlight;
                }
                --inFlight;
                lastResult = source.takeNext();
            }
            event = judgeEntry(oldest.line.parsed.entry, oldest.candidates, lastResult, options.ignoreMissing);
            // One read's bytes count once, on the first line it serves.
            event.bytesRead = oldest.sharesPrevious ? 0 : lastResult.bytesRead;
        } else {
            event.outcome = VerifyOutcome::Malformed;
        }
        event.tag = oldest.line.parsed.tag;
        event.unsupportedDigits = oldest.line.parsed.unsupportedDigits;
        event.lineNumber = oldest.line.number;
        counts.add(event.outcome);
        observer.onVerdict(event);
    };

    while ((more || !pending.empty()) && !observer.stopRequested()) {
        // Read ahead until the window is full, in bursts from half a window: the workers are then woken once for
        // many small files rather than for each. Malformed lines queue behind the entries before them.
        const bool burst = inFlight <= window / 2;
        while (burst && more && inFlight < window && pending.size() < window * 4) {
            std::optional<ListLine> line = reader.next();
            if (!line) {
                more = false;
                break;
            }
            const bool isEntry = line->parsed.kind == LineKind::Entry;
            bool shares = false;
            AlgorithmSet candidates;
            if (isEntry) {
                VerifyRequest request = requestFor(line->parsed.entry, options);
                candidates = request.algorithms;
                observer.onEntryRead({*line, candidates, request.nativePath});
                shares = unsent && sharesRead(*unsent, request);
                if (shares) {
                    unsent->algorithms.insert(candidates);
                } else {
                    if (unsent) {
                        source.submit(*unsent);
                        ++inFlight;
                    }
                    unsent = std::move(request);
                }
            }
            pending.push_back({std::move(*line), candidates, isEntry, shares});
        }
        if (!pending.empty()) {
            reportOldest();
        }
    }
    return counts;
}
