#include "BesideLines.h"

#include <QCoreApplication>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("BesideLines", text);
}

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

qsizetype hexRunAt(QByteArrayView text, qsizetype from)
{
    qsizetype end = from;
    while (end < text.size() && isHex(text[end])) {
        ++end;
    }
    return end - from;
}

// The digits against the length of the algorithm the line or the file's name gives, or of none.
QString lengthProblem(qsizetype digits, std::optional<HashAlgorithm> algorithm)
{
    if (algorithm) {
        const auto wanted = static_cast<qsizetype>(algorithmInfo(*algorithm).digestBytes * 2);
        if (digits < wanted) {
            return tr("%1 hex digits where %2 has %3: the digest is cut short")
                .arg(digits)
                .arg(algorithmName(*algorithm))
                .arg(wanted);
        }
        if (digits > wanted) {
            return tr("%1 hex digits where %2 has %3").arg(digits).arg(algorithmName(*algorithm)).arg(wanted);
        }
    }
    return tr("%1 hex digits, the length of no digest this program checks").arg(digits);
}

// "TAG (NAME) = HEX" and "TAG(NAME)= HEX": the tag, or nothing for a line of another shape.
std::optional<QByteArrayView> tagOf(QByteArrayView line, qsizetype& nameStart)
{
    const qsizetype open = line.indexOf('(');
    if (open <= 0) {
        return std::nullopt;
    }
    const QByteArrayView tag = line.first(open).trimmed();
    if (tag.isEmpty() || tag.size() > 32 || tag.contains(' ')) {
        return std::nullopt;
    }
    nameStart = open + 1;
    return tag;
}

} // namespace

std::optional<QString> besideLineProblem(QByteArrayView line, const QByteArray& dataName,
                                         std::optional<HashAlgorithm> named, bool sidecar)
{
    line = line.trimmed();
    if (line.startsWith('\\')) {
        line = line.sliced(1); // an escaped name follows; the digest's shape is what matters here
    }
    qsizetype nameStart = 0;
    if (const std::optional<QByteArrayView> tag = tagOf(line, nameStart)) {
        const qsizetype close = line.lastIndexOf(") =") >= 0 ? line.lastIndexOf(") =") : line.lastIndexOf(")=");
        if (close < nameStart) {
            return std::nullopt;
        }
        const QByteArrayView name = line.sliced(nameStart, close - nameStart);
        if (name != dataName && name != "./" + dataName && !(sidecar && name.endsWith("/" + dataName))) {
            return std::nullopt;
        }
        const std::optional<HashAlgorithm> algorithm =
            algorithmFromTag(std::string_view(tag->data(), static_cast<std::size_t>(tag->size())));
        if (!algorithm) {
            return tr("%1 is not an algorithm this program checks").arg(QString::fromUtf8(*tag));
        }
        const qsizetype equals = line.indexOf('=', close);
        const QByteArrayView digest = line.sliced(equals + 1).trimmed();
        return lengthProblem(hexRunAt(digest, 0), algorithm);
    }
    // "HEX", "HEX  NAME", "HEX *NAME": a run of hex digits ending at a blank or the line's end.
    const qsizetype digits = hexRunAt(line, 0);
    if (digits < 8 || (digits < line.size() && !isBlank(line[digits]))) {
        return std::nullopt;
    }
    QByteArrayView name = line.sliced(digits).trimmed();
    if (name.startsWith('*')) {
        name = name.sliced(1);
    }
    const bool aboutThisFile = name == dataName || name == "./" + dataName ||
                               (sidecar && (name.isEmpty() || name == "-" || name.endsWith("/" + dataName)));
    if (!aboutThisFile) {
        return std::nullopt;
    }
    return lengthProblem(digits, named);
}
