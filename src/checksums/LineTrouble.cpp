#include "LineTrouble.h"

#include "HexDigest.h"

#include <cctype>
#include <QCoreApplication>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("LineTrouble", text);
}

// The run of hex digits where the line's digest stands: after " = " in a tagged line, at the start of any other.
QByteArrayView digestOf(QByteArrayView line, bool tagged)
{
    if (tagged) {
        const qsizetype equals = line.lastIndexOf(QByteArrayView("= "));
        line = equals < 0 ? QByteArrayView() : line.sliced(equals + 2);
    } else if (line.startsWith('\\')) {
        line = line.sliced(1);
    }
    qsizetype end = 0;
    while (end < line.size() && std::isxdigit(static_cast<unsigned char>(line[end]))) {
        ++end;
    }
    return line.first(end);
}

} // namespace

LineTrouble troubleOf(QByteArrayView line, const ParsedLine& parsed)
{
    LineTrouble trouble;
    if (line.startsWith(QByteArrayView("\xEF\xBB\xBF"))) {
        trouble.kind = LineTrouble::ByteOrderMark;
        return trouble;
    }
    if (parsed.unsupportedDigits > 0) {
        trouble.kind = LineTrouble::UnsupportedLength;
        trouble.digits = parsed.unsupportedDigits;
        return trouble;
    }
    const QByteArrayView digest = digestOf(line, parsed.tag.has_value());
    trouble.digits = digest.size();
    if (digest.isEmpty()) {
        return trouble;
    }
    // The whole digest this one falls short of: the tag's, else the shortest length above it.
    qsizetype whole = 0;
    if (parsed.tag) {
        whole = static_cast<qsizetype>(algorithmInfo(*parsed.tag).digestBytes) * 2;
    } else {
        for (const AlgorithmInfo& info : kAlgorithms) {
            const auto digits = static_cast<qsizetype>(info.digestBytes) * 2;
            if (digits > digest.size() && (whole == 0 || digits < whole)) {
                whole = digits;
            }
        }
    }
    // A digest of a length in use, and nothing after it: a list's line that lost its name.
    const bool lengthInUse =
        digest.size() % 2 == 0 && !algorithmsForDigestBytes(static_cast<std::size_t>(digest.size() / 2)).empty();
    const qsizetype digestEnd = digest.data() + digest.size() - line.data(); // the digest is a view into the line
    if (!parsed.tag && lengthInUse && line.sliced(digestEnd).trimmed().isEmpty()) {
        trouble.kind = LineTrouble::NoName;
        return trouble;
    }
    // A few digits short is a digest cut off; far short, an untagged run of hex is no digest of ours at all.
    if (whole > digest.size() && (parsed.tag || whole - digest.size() <= 8)) {
        trouble.kind = LineTrouble::TruncatedDigest;
        trouble.expected = whole;
    } else if (!lengthInUse && digest.size() >= 8 && digest.size() % 2 == 0 && !parsed.tag) {
        trouble.kind = LineTrouble::UnsupportedLength;
    }
    return trouble;
}

QString lineTroubleText(quint64 lineNumber, const LineTrouble& trouble)
{
    switch (trouble.kind) {
    case LineTrouble::ByteOrderMark:
        return tr("Line %1 could not be understood: it starts with a byte-order mark.").arg(lineNumber);
    case LineTrouble::TooLong:
        return tr("Line %1 could not be understood: it is longer than any checksum line.").arg(lineNumber);
    case LineTrouble::UnsupportedLength:
        return tr("Line %1 could not be understood: no supported algorithm has digests of %2 hex digits.")
            .arg(lineNumber)
            .arg(trouble.digits);
    case LineTrouble::TruncatedDigest:
        return tr("Line %1 could not be understood: its digest is cut short, %2 of %3 hex digits.")
            .arg(lineNumber)
            .arg(trouble.digits)
            .arg(trouble.expected);
    case LineTrouble::NoName:
        return tr("Line %1 could not be understood: it gives a digest of %2 hex digits but no file name.")
            .arg(lineNumber)
            .arg(trouble.digits);
    case LineTrouble::Unknown:
        break;
    }
    return tr("Line %1 could not be understood.").arg(lineNumber);
}
