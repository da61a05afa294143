#include "VerifyLoop.h"

#include "ChecksumListReader.h"

#include <cerrno>
#include <deque>

namespace {

struct PendingLine
{
    ListLine line;
    bool awaitsDigest = false;
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
    const std::size_t window = std::max<std::size_t>(options.window, 1);
    bool more = true;

    // Reports the oldest line: an improperly formatted one at once, an entry when its digest is back.
    const auto reportOldest = [&] {
        PendingLine oldest = std::move(pending.front());
        pending.pop_front();
        VerifyEvent event;
        if (oldest.awaitsDigest) {
            --inFlight;
            event = eventFor(oldest.line, source.takeNext(), options.ignoreMissing);
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
            if (isEntry) {
                const ChecksumEntry& entry = line->parsed.entry;
                VerifyRequest request;
                request.algorithm = entry.algorithm;
                request.fromStandardInput = options.dashIsStandardInput && entry.name == "-";
                request.nativePath = resolveEntryName(entry.name, options.baseFolder);
                source.submit(request);
                ++inFlight;
            }
            pending.push_back({std::move(*line), isEntry});
        }
        if (!pending.empty()) {
            reportOldest();
        }
    }
    return counts;
}
