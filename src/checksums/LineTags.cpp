#include "LineTags.h"

#include <limits>

namespace {

int digitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
}

} // namespace

std::optional<TagMatch> tagAt(QByteArrayView text)
{
    std::optional<TagMatch> found;
    for (const AlgorithmInfo& info : kAlgorithms) {
        const QByteArrayView tag(info.tag.data(), static_cast<qsizetype>(info.tag.size()));
        if (!text.startsWith(tag) || (found && found->end >= tag.size())) {
            continue;
        }
        const char after = text.size() > tag.size() ? text[tag.size()] : ' ';
        if (isBlank(after) || after == '-' || after == '(') {
            found = TagMatch{info.algorithm, tag.size()};
        }
    }
    return found;
}

std::optional<qsizetype> bitLengthAt(QByteArrayView text, qsizetype i, quint64& bits)
{
    while (i < text.size() && (isBlank(text[i]) || text[i] == '\v' || text[i] == '\f' || text[i] == '\r')) {
        ++i;
    }
    if (i < text.size() && text[i] == '+') {
        ++i;
    }
    quint64 base = 10;
    if (i < text.size() && text[i] == '0') {
        base = 8;
        if (i + 2 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X') && isHexDigit(text[i + 2])) {
            base = 16;
            i += 2;
        }
    }
    const qsizetype start = i;
    bits = 0;
    for (; i < text.size() && static_cast<quint64>(digitValue(text[i])) < base; ++i) {
        const auto digit = static_cast<quint64>(digitValue(text[i]));
        if (bits > (std::numeric_limits<quint64>::max() - digit) / base) {
            return std::nullopt;
        }
        bits = bits * base + digit;
    }
    return i == start ? std::nullopt : std::optional(i);
}

bool taggedShape(QByteArrayView rest, qsizetype afterTag)
{
    const qsizetype open = rest.indexOf('(', afterTag);
    if (open < 0) {
        return false;
    }
    for (const char c : rest.sliced(afterTag, open - afterTag)) {
        if (!isBlank(c) && !isHexDigit(c) && c != '-' && c != '+' && c != 'x' && c != 'X') {
            return false;
        }
    }
    qsizetype at = rest.lastIndexOf(')');
    if (at < open) {
        return false;
    }
    ++at;
    while (at < rest.size() && isBlank(rest[at])) {
        ++at;
    }
    if (at >= rest.size() || rest[at] != '=') {
        return false;
    }
    ++at;
    while (at < rest.size() && isBlank(rest[at])) {
        ++at;
    }
    return hexRun(rest.sliced(at)) == rest.size() - at;
}
