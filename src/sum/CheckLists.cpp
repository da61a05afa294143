#include "CheckLists.h"

#include "ChecksumFileNames.h"
#include "ChecksumListReader.h"
#include "HexDigest.h"
#include "ListFile.h"
#include "Messages.h"
#include "NameEscape.h"
#include "StandardOutput.h"
#include "VerifyLoop.h"

#include <cstring>
#include <QFile>
#include <sys/stat.h>

namespace {

QByteArray tagText(HashAlgorithm algorithm)
{
    const std::string_view tag = algorithmInfo(algorithm).tag;
    return QByteArray(tag.data(), static_cast<qsizetype>(tag.size()));
}

// Prints each event as the GNU tools do: names escaped only when they hold a line feed, since only then would the
// result take more than one line.
class PrintingObserver : public VerifyObserver
{
public:
    PrintingObserver(const SumOptions& options, const QByteArray& listName)
        : m_options(options), m_listName(listName),
          m_typeTag(options.algorithmGiven ? tagText(options.algorithms.front()) : QByteArray("CRC"))
    {}

    void onVerdict(const VerifyEvent& event) override
    {
        if (!m_options.algorithmGiven && event.tag) {
            m_typeTag = tagText(*event.tag);
        }
        switch (event.outcome) {
        case VerifyOutcome::Malformed:
            if (event.unsupportedDigits > 0 && !m_options.status) {
                // Not wrong, only beyond us: said without -w, never taken for a mismatch; --status says nothing.
                printError(m_listName + ": " + QByteArray::number(event.lineNumber) + ": unsupported digest length: " +
                           QByteArray::number(event.unsupportedDigits) + " hex digits");
            } else if (event.unsupportedDigits == 0 && m_options.warn) {
                printError(m_listName + ": " + QByteArray::number(event.lineNumber) + ": improperly formatted " +
                           m_typeTag + " checksum line");
            }
            return;
        case VerifyOutcome::MissingIgnored:
            return;
        case VerifyOutcome::Unreadable:
            printFailure(event.entry.name, event.failure, event.reason);
            printResult(event.entry.name, "FAILED open or read");
            break;
        case VerifyOutcome::Mismatched:
            printResult(event.entry.name, "FAILED");
            break;
        case VerifyOutcome::Matched:
            if (!m_options.quiet) {
                printResult(event.entry.name, "OK");
            }
            break;
        }
    }

private:
    void printResult(const QByteArray& name, const char* result)
    {
        if (m_options.status) {
            return;
        }
        const bool escape = name.contains('\n');
        StandardOutput::write((escape ? "\\" + escapeName(name) : name) + ": " + result + '\n');
    }

    const SumOptions& m_options;
    QByteArray m_listName;
    QByteArray m_typeTag;
};

QByteArray plural(quint64 count, const char* one, const char* many)
{
    return "WARNING: " + QByteArray::number(count) + ' ' + (count == 1 ? one : many);
}

// A list named for BLAKE2b ("B2SUMS", "x.b2") may be its tool's at any length (-l): its untagged lines are read at
// theirs. No other name changes how a list is read.
bool namedForBlake2b(const QByteArray& list)
{
    return list != "-" && algorithmNamedBy(list) == HashAlgorithm::Blake2b;
}

ParserOptions parserOptionsFor(const SumOptions& options, const QByteArray& list)
{
    ParserOptions parserOptions;
    if (options.algorithmGiven) {
        parserOptions.algorithm = options.algorithms.front();
    } else if (namedForBlake2b(list)) {
        parserOptions.named = HashAlgorithm::Blake2b;
    }
    parserOptions.listIsStandardInput = list == "-";
    return parserOptions;
}

bool checkOneList(const SumOptions& options, DigestSource& source, const QByteArray& list)
{
    const bool fromStandardInput = list == "-";
    const QByteArray listName = nameInMessage(fromStandardInput ? QByteArray("standard input") : list);
    QFile file;
    if (const int error = openListStream(list, file)) {
        printError(listName + ": " + std::strerror(error));
        return false;
    }

    // Lines far longer than any name the system opens, as the GNU tools read them: such a name is reported as too
    // long to open, not counted improperly formatted. Past the limit a line is skipped unheld, so that a list with no
    // line ends (/dev/zero) costs no more memory than this.
    constexpr qsizetype kLineLimit = qsizetype{1} << 20;
    const ParserOptions parserOptions = parserOptionsFor(options, list);
    ChecksumListReader reader(file, parserOptions, kLineLimit);
    PrintingObserver observer(options, listName);
    VerifyOptions verifyOptions;
    verifyOptions.ignoreMissing = options.ignoreMissing;
    verifyOptions.window = 128; // as when making sums: every lane busy on small files, in bursts of 64
    if (!options.algorithmGiven) {
        // A two-space line's length may fit several algorithms (128 digits: SHA-512, SHA3-512, BLAKE2b): each is
        // computed in the one read, and the entry is good when any of them matches.
        // An untagged XXH3 line says it is XXH3 ("XXH3_HEX"): the one line of that form read as XXH3 without -a.
        // In a list named for BLAKE2b a line is read as BLAKE2b of its length, computed beside the others.
        const bool blake2bList = parserOptions.named.has_value();
        verifyOptions.candidates = [blake2bList](const ChecksumEntry& entry) {
            if (entry.form != LineForm::Untagged || entry.algorithm == HashAlgorithm::Xxh3) {
                return AlgorithmSet{entry.algorithm};
            }
            AlgorithmSet candidates = algorithmsForDigestBytes(static_cast<std::size_t>(entry.expected.size()));
            if (blake2bList) {
                candidates.insert(entry.algorithm);
            }
            return candidates;
        };
    }
    const VerifyCounts counts = verifyList(reader, source, observer, verifyOptions);

    if (reader.failed()) {
        printError(listName + ": read error");
        return false;
    }
    if (!counts.anyProperlyFormatted()) {
        printError(listName + ": no properly formatted checksum lines found");
        return false;
    }
    if (!options.status) {
        if (counts.malformed > 0) {
            printError(plural(counts.malformed, "line is improperly formatted", "lines are improperly formatted"));
        }
        if (counts.unreadable > 0) {
            printError(plural(counts.unreadable, "listed file could not be read", "listed files could not be read"));
        }
        if (counts.mismatched > 0) {
            printError(
                plural(counts.mismatched, "computed checksum did NOT match", "computed checksums did NOT match"));
        }
        if (options.ignoreMissing && counts.matched == 0) {
            printError(listName + ": no file was verified");
        }
    }
    return counts.mismatched == 0 && counts.unreadable == 0 && (!options.strict || counts.malformed == 0) &&
           (!options.ignoreMissing || counts.matched > 0);
}

} // namespace

bool checkLists(const SumOptions& options, DigestSource& source)
{
    const QList<QByteArray> lists = options.files.isEmpty() ? QList<QByteArray>{"-"} : options.files;
    bool allGood = true;
    for (const QByteArray& list : lists) {
        // After a failed write the other lists are still checked, as the GNU tools do; the write error comes last.
        allGood = checkOneList(options, source, list) && allGood;
    }
    return allGood;
}

quint64 listedBytes(const SumOptions& options)
{
    // Only regular lists are read ahead: opening a FIFO, even to look, would take its writer's data or free a
    // writer waiting to open it. A list that cannot be read twice leaves the total unknown.
    quint64 total = 0;
    for (const QByteArray& list : options.files) {
        struct stat status;
        if (list == "-" || ::stat(list.constData(), &status) != 0 || !S_ISREG(status.st_mode)) {
            return 0;
        }
        total += ::listedBytes(list, parserOptionsFor(options, list), VerifyOptions{});
    }
    return total;
}
