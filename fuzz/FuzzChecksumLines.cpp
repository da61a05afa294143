// The checksum-list reader against models of its own:
//  - any line: never a crash; an entry carries a digest of its algorithm's length and was a line without NUL, and
//    writing it back in its own form reads back as the same entry;
//  - entries built from the input: what the writer makes of any name and digest reads back unchanged;
//  - any text, handed over in blocks of any size: the streaming reader yields what splitting at LF and parsing each
//    line yields, lines over the limit counted improperly formatted.
#include "ChecksumLine.h"
#include "ChecksumListReader.h"
#include "FuzzInput.h"

#include <QIODevice>

namespace {

constexpr qsizetype kLineLimit = 200;

std::optional<HashAlgorithm> algorithmFrom(std::uint8_t byte)
{
    const std::size_t pick = byte % (kAlgorithmCount + 1);
    return pick == kAlgorithmCount ? std::nullopt : std::optional(kAlgorithms[pick].algorithm);
}

void report(const char* what, const QByteArray& line)
{
    std::fprintf(stderr, "%s: \"%s\"\n", what, line.toPercentEncoding(" ()=*;#-").constData());
}

// A parsed entry written back in its own form must read back the same; SFV only where nothing else claims the line.
void checkWrittenBack(const ChecksumEntry& entry, ParserOptions options)
{
    QByteArray line;
    switch (entry.form) {
    case LineForm::Tagged:
        line = taggedLine(entry.algorithm, entry.expected, entry.name);
        break;
    case LineForm::Untagged:
        line = untaggedLine(entry.expected, entry.name);
        options.algorithm = entry.algorithm; // the length alone may name another algorithm
        break;
    case LineForm::Sfv:
        line = sfvLine(entry.expected, entry.name);
        FUZZ_CHECK(line == entry.name + ' ' + entry.expected.toHex().toUpper() + '\n');
        return;
    }
    ChecksumLineParser parser(options);
    const ParsedLine again = parser.parse(line.chopped(1));
    if (again.kind != LineKind::Entry || !(again.entry == entry)) {
        report("written back", line);
    }
    FUZZ_CHECK(again.kind == LineKind::Entry);
    FUZZ_CHECK(again.entry.name == entry.name && again.entry.expected == entry.expected &&
               again.entry.algorithm == entry.algorithm && again.entry.form == entry.form);
}

void anyLine(FuzzInput& input)
{
    ParserOptions options{algorithmFrom(input.byte()), (input.byte() & 1) != 0, algorithmFrom(input.byte())};
    const QByteArray line = input.rest();
    ChecksumLineParser parser(options);
    const ParsedLine parsed = parser.parse(line);
    if (parsed.blake2bLength) {
        // BLAKE2b cut short: refused, and never of a length that is computed here.
        FUZZ_CHECK(parsed.kind == LineKind::Malformed && parsed.entry.algorithm == HashAlgorithm::Blake2b);
        FUZZ_CHECK(parsed.unsupportedDigits == parsed.entry.expected.size() * 2);
        FUZZ_CHECK(parsed.entry.expected.size() > 0 && parsed.entry.expected.size() < 64);
    }
    if (parsed.kind != LineKind::Entry) {
        return;
    }
    const ChecksumEntry& entry = parsed.entry;
    FUZZ_CHECK(!line.contains('\0'));
    FUZZ_CHECK(static_cast<std::size_t>(entry.expected.size()) == algorithmInfo(entry.algorithm).digestBytes);
    FUZZ_CHECK(!options.algorithm || *options.algorithm == entry.algorithm);
    FUZZ_CHECK(!(options.listIsStandardInput && entry.name == "-"));
    checkWrittenBack(entry, options);
}

void builtEntry(FuzzInput& input)
{
    const HashAlgorithm algorithm = kAlgorithms[input.byte() % kAlgorithmCount].algorithm;
    const bool tagged = (input.byte() & 1) != 0;
    QByteArray digest;
    for (std::size_t i = 0; i < algorithmInfo(algorithm).digestBytes; ++i) {
        digest += static_cast<char>(input.byte());
    }
    const QByteArray name = input.bytes(80);
    const QByteArray line = tagged ? taggedLine(algorithm, digest, name) : untaggedLine(digest, name);
    ChecksumLineParser parser({algorithm, false, {}});
    const ParsedLine parsed = parser.parse(line.chopped(1));
    // No file has an empty name; a two-space line without one reads as the single-space form naming " ", as the
    // GNU tools read it, so no claim is made for it.
    if (!tagged && name.isEmpty()) {
        return;
    }
    const bool representable = !name.contains('\0');
    if ((parsed.kind == LineKind::Entry) != representable) {
        report("built", line);
    }
    FUZZ_CHECK((parsed.kind == LineKind::Entry) == representable);
    if (representable) {
        FUZZ_CHECK(parsed.entry.name == name && parsed.entry.expected == digest && parsed.entry.algorithm == algorithm);
    }
}

// Hands out its text in blocks whose sizes come from the fuzzer, as a pipe would.
class ChunkedDevice : public QIODevice
{
public:
    ChunkedDevice(QByteArray text, QByteArray sizes) : m_text(std::move(text)), m_sizes(std::move(sizes))
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 wanted =
            m_sizes.isEmpty() ? maxSize : 1 + static_cast<unsigned char>(m_sizes[m_turn++ % m_sizes.size()]);
        const qint64 n = std::min({maxSize, wanted, static_cast<qint64>(m_text.size() - m_at)});
        std::memcpy(data, m_text.constData() + m_at, static_cast<std::size_t>(n));
        m_at += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_text;
    QByteArray m_sizes;
    qsizetype m_at = 0;
    qsizetype m_turn = 0;
};

void streamedText(FuzzInput& input)
{
    const ParserOptions options{algorithmFrom(input.byte()), false, {}};
    const QByteArray sizes = input.bytes(8);
    const QByteArray text = input.rest();

    // The model: split at LF (a last line without one counts when not empty), parse each in turn.
    QList<ListLine> expected;
    ChecksumLineParser parser(options);
    QList<QByteArray> lines = text.split('\n');
    if (lines.last().isEmpty()) {
        lines.removeLast();
    }
    quint64 number = 0;
    for (const QByteArray& line : lines) {
        ++number;
        const ParsedLine parsed =
            line.size() > kLineLimit ? ParsedLine{LineKind::Malformed, {}, {}} : parser.parse(line);
        if (parsed.kind != LineKind::Skipped) {
            expected.append({number, parsed});
        }
    }

    ChunkedDevice device(text, sizes);
    ChecksumListReader reader(device, options, kLineLimit);
    qsizetype at = 0;
    while (const std::optional<ListLine> got = reader.next()) {
        FUZZ_CHECK(at < expected.size());
        FUZZ_CHECK(got->number == expected[at].number);
        FUZZ_CHECK(got->parsed.kind == expected[at].parsed.kind);
        FUZZ_CHECK(got->parsed.entry == expected[at].parsed.entry);
        ++at;
    }
    FUZZ_CHECK(at == expected.size());
    FUZZ_CHECK(!reader.failed());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    switch (input.byte() % 3) {
    case 0:
        anyLine(input);
        break;
    case 1:
        builtEntry(input);
        break;
    default:
        streamedText(input);
        break;
    }
    return 0;
}
