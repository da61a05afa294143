// The verify loop for a window: each verdict as soon as its read ends, whatever the reads before it are doing.
#include "ChecksumListReader.h"
#include "LineFeed.h"
#include "VerifyLoop.h"

#include <unordered_map>
#include <vector>

namespace {

// How long one wait for digests lasts before the observer hears that some are still out.
constexpr std::chrono::milliseconds kWaitStep{250};

struct WaitingLine
{
    ListLine line;
    AlgorithmSet candidates;
    quint64 entryIndex = 0;
};

} // namespace

VerifyCounts verifyListAsKnown(ChecksumListReader& reader, DigestSource& source, VerifyObserver& observer,
                               const VerifyOptions& options)
{
    // A reader's lines are all there: each is had without waiting.
    class ReaderLines : public LineSource
    {
    public:
        explicit ReaderLines(ChecksumListReader& reader) : m_reader(reader) {}
        Got next(ListLine& line, std::chrono::milliseconds) override
        {
            std::optional<ListLine> read = m_reader.next();
            if (!read) {
                return Got::End;
            }
            line = std::move(*read);
            return Got::Line;
        }

    private:
        ChecksumListReader& m_reader;
    } lines(reader);
    return verifyListAsKnown(lines, source, observer, options);
}

VerifyCounts verifyListAsKnown(LineSource& lines, DigestSource& source, VerifyObserver& observer,
                               const VerifyOptions& options)
{
    VerifyCounts counts;
    // The lines each read out serves, by its place in the order submitted.
    std::unordered_map<std::size_t, std::vector<WaitingLine>> out;
    // The latest entries' read, held back while the lines after it may name the same file.
    std::optional<VerifyRequest> unsent;
    std::vector<WaitingLine> unsentLines;
    std::size_t submitted = 0;
    std::size_t linesWaiting = 0;
    quint64 entries = 0;
    const std::size_t window = std::max<std::size_t>(options.window, 1);
    bool more = true;

    const auto send = [&] {
        source.submit(*unsent);
        unsent.reset();
        out.emplace(submitted++, std::exchange(unsentLines, {}));
    };
    const auto report = [&](VerifyEvent& event, const ListLine& line) {
        event.tag = line.parsed.tag;
        event.unsupportedDigits = line.parsed.unsupportedDigits;
        event.trouble = line.trouble;
        event.lineNumber = line.number;
        counts.add(event.outcome);
        observer.onVerdict(event);
    };

    while ((more || unsent || !out.empty()) && !observer.stopRequested()) {
        bool starved = false; // the list has nothing more for now
        while (more && out.size() < window && linesWaiting < window * 4 && !observer.stopRequested()) {
            // With nothing else to wait for, wait for the list; else take what has come and see to the reads.
            const bool idle = out.empty() && !unsent;
            ListLine line;
            const LineSource::Got got = lines.next(line, idle ? kWaitStep : std::chrono::milliseconds(0));
            if (got == LineSource::Got::End) {
                more = false;
                break;
            }
            if (got == LineSource::Got::NotYet) {
                starved = true;
                if (idle) {
                    observer.onStillWaiting();
                }
                break;
            }
            if (line.parsed.kind != LineKind::Entry) {
                VerifyEvent event;
                event.outcome = VerifyOutcome::Malformed;
                report(event, line);
                continue;
            }
            VerifyRequest request = requestFor(line.parsed.entry, options);
            const AlgorithmSet candidates = request.algorithms;
            observer.onEntryRead({line, candidates, request.nativePath});
            if (unsent && sharesRead(*unsent, request)) {
                unsent->algorithms.insert(request.algorithms);
            } else {
                if (unsent) {
                    send();
                }
                unsent = std::move(request);
            }
            unsentLines.push_back({std::move(line), candidates, entries++});
            ++linesWaiting;
        }
        // Nothing else to wait for, nothing more to come, or nothing more yet: the held read goes now.
        if (unsent && (out.empty() || !more || starved)) {
            send();
        }
        if (out.empty() || observer.stopRequested()) {
            continue;
        }
        std::optional<std::pair<std::size_t, FileDigests>> done = source.takeAny(kWaitStep);
        if (!done) {
            observer.onStillWaiting();
            continue;
        }
        const auto served = out.find(done->first);
        if (served == out.end()) {
            continue;
        }
        bool first = true;
        for (const WaitingLine& waiting : served->second) {
            VerifyEvent event =
                judgeEntry(waiting.line.parsed.entry, waiting.candidates, done->second, options.ignoreMissing);
            event.entryIndex = waiting.entryIndex;
            event.bytesRead = first ? done->second.bytesRead : 0; // one read's bytes count once
            first = false;
            report(event, waiting.line);
        }
        linesWaiting -= served->second.size();
        out.erase(served);
    }
    return counts;
}
