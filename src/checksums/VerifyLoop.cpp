#include "VerifyLoop.h"

#include "ChecksumListReader.h"

#include <cerrno>
#include <deque>
#include <optional>

namespace {

struct PendingLine
{
    ListLine line;
    bool awaitsDigest = false;
    bool sharesPrevious = false; // its digest comes from the read of the entry before it, which names the same file
};

VerifyEvent eventFor(const ListLine& line, const FileDigests& result, bool ignoreMissing)
{
    VerifyEvent event;
    event.lineNumber = line.number;
    event.entry = line.parsed.entry;
    const HashAlgorithm algorithm = event.entry.algorithm;
    if (result.isOk() && !result.digest(algorithm).isEmpty()) {
        event.actual = result.digest(algorithm);
        event.outcome = event.actual == event.entry.expected ? VerifyOutcome::Matched : VerifyOutcome::Mismatched;
        return event;
    }
    event.failure = result.isOk() ? DigestFailure::DigestRefused : result.failure;
    event.reason = result.isOk() ? result.refusals[indexOf(algorithm)] : result.reason;
    // Only a name that is not there is ignored: one that runs through a file ("Not a directory") is reported.
    const bool absent = event.failure == DigestFailure::Missing && result.systemError != ENOTDIR;
    event.outcome = ignoreMissing && absent ? VerifyOutcome::MissingIgnored : VerifyOutcome::Unreadable;
    return event;
}

void count(VerifyCounts& counts, VerifyOutcome outcome)
{
    switch (outcome) {
    case VerifyOutcome::Matched:
        ++counts.matched;
        break;
    case VerifyOutcome::Mismatched:
        ++counts.mismatched;
        break;
    case VerifyOutcome::Unreadable:
        ++counts.unreadable;
        break;
    case VerifyOutcome::MissingIgnored:
        ++counts.missingIgnored;
        break;
    case VerifyOutcome::Malformed:
        ++counts.malformed;
        break;
    }
}

} // namespace

QByteArray resolveEntryName(const QByteArray& name, const QByteArray& baseFolder)
{
    if (baseFolder.isEmpty() || name.startsWith('/')) {
        return name;
    }
    return baseFolder.endsWith('/') ? baseFolder + name : baseFolder + '/' + name;
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
            event = eventFor(oldest.line, lastResult, options.ignoreMissing);
        } else {
            event.outcome = VerifyOutcome::Malformed;
            event.lineNumber = oldest.line.number;
        }
        event.tag = oldest.line.parsed.tag;
        count(counts, event.outcome);
        observer.onEvent(event);
    };

    while (more || !pending.empty()) {
        // Read ahead until the window is full; malformed lines queue behind the entries before them.
        while (more && inFlight < window && pending.size() < window * 4) {
            std::optional<ListLine> line = reader.next();
            if (!line) {
                more = false;
                break;
            }
            const bool isEntry = line->parsed.kind == LineKind::Entry;
            bool shares = false;
            if (isEntry) {
                const ChecksumEntry& entry = line->parsed.entry;
                VerifyRequest request;
                request.algorithms.insert(entry.algorithm);
                request.fromStandardInput = options.dashIsStandardInput && entry.name == "-";
                request.nativePath = resolveEntryName(entry.name, options.baseFolder);
                // Standard input is read afresh for each entry, as the GNU tools read it.
                shares = unsent && !request.fromStandardInput && !unsent->fromStandardInput &&
                         unsent->nativePath == request.nativePath;
                if (shares) {
                    unsent->algorithms.insert(entry.algorithm);
                } else {
                    if (unsent) {
                        source.submit(*unsent);
                        ++inFlight;
                    }
                    unsent = std::move(request);
                }
            }
            pending.push_back({std::move(*line), isEntry, shares});
        }
        if (!pending.empty()) {
            reportOldest();
        }
    }
    return counts;
}
