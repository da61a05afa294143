#include "QuotedName.h"

#include <locale.h>
#include <wctype.h>

namespace {

// Printable as the C library classifies it in a UTF-8 locale, which is what the GNU tools ask: format characters
// such as U+200D (the emoji joiner) and private use are shown, line and paragraph separators escaped. The C.UTF-8
// classes are those of every UTF-8 locale; without it, the program's own locale's.
bool isPrintable(char32_t point)
{
    static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    const auto wide = static_cast<wint_t>(point);
    return utf8 ? ::iswprint_l(wide, utf8) != 0 : ::iswprint(wide) != 0;
}

// The length of the printable UTF-8 character at text[at], or 0 for one that is invalid or not printable.
qsizetype printableCharacter(QByteArrayView text, qsizetype at, bool utf8)
{
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80) {
        return byte >= 0x20 && byte < 0x7f ? 1 : 0;
    }
    if (!utf8) {
        return 0;
    }
    const qsizetype length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc2 ? 2 : 0;
    if (length == 0 || at + length > text.size() || byte > 0xf4) {
        return 0;
    }
    char32_t point = byte & (0x7f >> length);
    for (qsizetype i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xc0) != 0x80) {
            return 0;
        }
        point = point << 6 | (next & 0x3f);
    }
    const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (point < smallest || point > 0x10ffff || (point >= 0xd800 && point <= 0xdfff)) {
        return 0;
    }
    return isPrintable(point) ? length : 0;
}

bool isSafe(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("%+,-./]_@").contains(c);
}

QByteArray escapeFor(unsigned char byte)
{
    switch (byte) {
    case '\a':
        return "\\a";
    case '\b':
        return "\\b";
    case '\f':
        return "\\f";
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    case '\v':
        return "\\v";
    default:
        return QByteArray("\\") + QByteArray::number(byte, 8).rightJustified(3, '0');
    }
}

} // namespace

QByteArray quotedName(QByteArrayView name, bool utf8)
{
    if (name.isEmpty()) {
        return "''";
    }
    bool quote = false;
    bool singleQuote = false;
    bool doubleQuotesWillDo = true; // every character means the same inside double quotes
    for (qsizetype i = 0; i < name.size();) {
        const char c = name[i];
        const qsizetype length = printableCharacter(name, i, utf8);
        if (length == 0) {
            quote = true;
            doubleQuotesWillDo = false;
            ++i;
            continue;
        }
        if (length == 1 && !isSafe(c)) {
            if (c == '#' || c == '~') { // special to a shell only at the start
                quote = quote || i == 0;
                doubleQuotesWillDo = doubleQuotesWillDo && i == 0;
            } else if (c == '{' || c == '}') { // special to a shell only alone
                quote = quote || name.size() == 1;
                doubleQuotesWillDo = doubleQuotesWillDo && name.size() == 1;
            } else if (c == ' ' || c == ':') {
                quote = true;
            } else if (c == '\'') {
                quote = true;
                singleQuote = true;
            } else {
                quote = true; // a character a shell would act on, or the backslash
                doubleQuotesWillDo = false;
            }
        }
        i += length;
    }
    if (!quote) {
        return name.toByteArray();
    }
    if (singleQuote && doubleQuotesWillDo) {
        return '"' + name.toByteArray() + '"';
    }

    QByteArray out = "'";
    bool escaping = false; // inside $'...'
    for (qsizetype i = 0; i < name.size();) {
        const qsizetype length = printableCharacter(name, i, utf8);
        if (length == 0) {
            if (!escaping) {
                out += "'$'";
                escaping = true;
            }
            out += escapeFor(static_cast<unsigned char>(name[i]));
            ++i;
            continue;
        }
        if (escaping) {
            out += "''";
            escaping = false;
        }
        if (name[i] == '\'') {
            out += "'\\''";
        } else {
            out += name.sliced(i, length);
        }
        i += length;
    }
    out += '\'';
    return out;
}
