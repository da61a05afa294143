#include "NativePath.h"

#include "DefaultIgnorable.h"

#include <algorithm>
#include <QStringList>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// The length of the valid UTF-8 sequence at position i, or 0 when the byte there starts none.
qsizetype validSequenceAt(const QByteArray& bytes, qsizetype i)
{
    const auto byte = [&](qsizetype at) { return static_cast<unsigned char>(bytes[at]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        return 1;
    }
    qsizetype length = 0;
    unsigned char low = 0x80; // bounds of the second byte, which rule out overlong forms, surrogates and > U+10FFFF
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > bytes.size() || byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (qsizetype k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

} // namespace

QString textForNativePath(const QByteArray& native)
{
    QString text;
    text.reserve(native.size());
    for (qsizetype i = 0; i < native.size();) {
        const qsizetype length = validSequenceAt(native, i);
        if (length == 0) {
            text.append(QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(native[i]))));
            ++i;
            continue;
        }
        // Decoded by hand: QString::fromUtf8 would drop a U+FEFF standing first in what it is given, and so name
        // another file.
        const auto byte = [&](qsizetype at) { return static_cast<char32_t>(static_cast<unsigned char>(native[at])); };
        char32_t code = length == 1 ? byte(i) : byte(i) & (0x7Fu >> length);
        for (qsizetype k = 1; k < length; ++k) {
            code = (code << 6) | (byte(i + k) & 0x3Fu);
        }
        if (QChar::requiresSurrogates(code)) {
            text.append(QChar(QChar::highSurrogate(code)));
            text.append(QChar(QChar::lowSurrogate(code)));
        } else {
            text.append(QChar(static_cast<char16_t>(code)));
        }
        i += length;
    }
    return text;
}

namespace {

// How one code unit of a carried path reads: a character shown as it is, one that cannot be seen or that moves the
// text around it (controls such as a line feed, zero-width and direction marks), a carried byte, or a lone surrogate
// that stands for no byte. The second half of a pair reads as Character and adds nothing of its own.
enum class Piece
{
    Character,
    Hidden,
    CarriedByte,
    Stray
};

bool isHidden(char32_t code, char32_t previous)
{
    // The joiners belong to how scripts (Persian, Indic) and emoji are written; after a Latin letter, or first,
    // they only hide.
    constexpr char32_t kNonJoiner = 0x200C;
    constexpr char32_t kJoiner = 0x200D;
    constexpr char32_t kLastLatin = 0x02FF;
    if (code == kNonJoiner || code == kJoiner) {
        return previous <= kLastLatin;
    }
    // Drawn as nothing where not supported: variation selectors, fillers, tags, format characters.
    if (isDefaultIgnorable(code)) {
        return true;
    }
    constexpr char32_t kBrailleBlank = 0x2800; // a letter drawn as nothing
    if (code == kBrailleBlank) {
        return true;
    }
    switch (QChar::category(code)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    case QChar::Separator_Space:
        return code != U' '; // a no-break space reads as a space
    default:
        return false;
    }
}

Piece pieceAt(const QString& text, qsizetype i)
{
    const QChar c = text[i];
    const bool pairedHigh = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
    const bool pairedLow = c.isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate();
    if (pairedLow) {
        return Piece::Character;
    }
    if (!c.isSurrogate() || pairedHigh) {
        const char32_t code = pairedHigh ? QChar::surrogateToUcs4(c, text[i + 1]) : c.unicode();
        char32_t previous = 0;
        if (i > 0) {
            const bool pairBefore = i > 1 && text[i - 1].isLowSurrogate() && text[i - 2].isHighSurrogate();
            previous = pairBefore ? QChar::surrogateToUcs4(text[i - 2], text[i - 1]) : text[i - 1].unicode();
        }
        return isHidden(code, previous) ? Piece::Hidden : Piece::Character;
    }
    return c.unicode() >= kEscapeBase + 0x80 && c.unicode() <= kEscapeBase + 0xFF ? Piece::CarriedByte : Piece::Stray;
}

void appendByteEscape(QString& shown, unsigned byte)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    shown += QLatin1String("\\x");
    shown += QLatin1Char(kHex[(byte >> 4) & 0xF]);
    shown += QLatin1Char(kHex[byte & 0xF]);
}

// A space at either end of a name, shown as \x20: "a " and "a" read alike, and so do " a" and "a" once a path puts
// something before it.
bool isEdgeSpace(const QString& text, qsizetype i)
{
    if (text[i] != u' ') {
        return false;
    }
    const auto onlySpaces = [&](qsizetype from, qsizetype to) {
        return std::all_of(text.begin() + from, text.begin() + to, [](QChar c) { return c == u' '; });
    };
    const qsizetype start = text.lastIndexOf(u'/', i) + 1;
    const qsizetype slash = text.indexOf(u'/', i);
    const qsizetype end = slash < 0 ? text.size() : slash;
    return onlySpaces(start, i) || onlySpaces(i + 1, end);
}

QString withByteEscapes(const QString& text, bool doubleBackslashes, bool edgeSpaces = false)
{
    QString shown;
    shown.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        switch (pieceAt(text, i)) {
        case Piece::CarriedByte:
            appendByteEscape(shown, static_cast<unsigned>(text[i].unicode() - kEscapeBase));
            break;
        case Piece::Stray:
            shown += QChar::ReplacementCharacter;
            break;
        case Piece::Hidden: {
            const qsizetype length = text[i].isHighSurrogate() ? 2 : 1;
            for (const char byte : QStringView(text).sliced(i, length).toUtf8()) {
                appendByteEscape(shown, static_cast<unsigned char>(byte));
            }
            i += length - 1;
            break;
        }
        case Piece::Character:
            if (edgeSpaces && isEdgeSpace(text, i)) {
                appendByteEscape(shown, ' ');
                break;
            }
            shown += doubleBackslashes && text[i] == u'\\' ? QStringLiteral("\\\\") : QString(text[i]);
            break;
        }
    }
    return shown;
}

} // namespace

namespace {

constexpr QChar kFirstStrongIsolate(0x2068);
constexpr QChar kPopDirectionalIsolate(0x2069);

// Right-to-left letters and Arabic digits: the only characters that move the text next to them in a left-to-right
// line. A path without them is shown in the order it is written.
bool hasRightToLeft(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const char32_t code = pair ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i].unicode();
        const QChar::Direction direction = QChar::direction(code);
        if (direction == QChar::DirR || direction == QChar::DirAL || direction == QChar::DirAN) {
            return true;
        }
        i += pair ? 1 : 0;
    }
    return false;
}

// Each name in an isolate of its own direction, so that a right-to-left name is drawn within its own place and
// moves neither the slashes nor the names around it: "/d/\u05D0 1.txt" and "/d/1 \u05D0.txt" would otherwise be
// drawn alike.
QString isolatedNames(const QString& shown)
{
    QStringList names = shown.split(u'/');
    for (QString& name : names) {
        if (!name.isEmpty()) {
            name = kFirstStrongIsolate + name + kPopDirectionalIsolate;
        }
    }
    return names.join(u'/');
}

} // namespace

QString displayTextForPath(const QString& path)
{
    bool plain = !path.contains(u'\\');
    for (qsizetype i = 0; plain && i < path.size(); ++i) {
        plain = pieceAt(path, i) == Piece::Character && !isEdgeSpace(path, i);
    }
    const QString shown = plain ? path : withByteEscapes(path, true, true);
    return hasRightToLeft(shown) ? isolatedNames(shown) : shown;
}

QString textToCopy(const QString& shown)
{
    QString copied = shown;
    copied.remove(kFirstStrongIsolate);
    copied.remove(kPopDirectionalIsolate);
    return copied;
}

QString carriedBytesAsEscapes(const QString& escapedText)
{
    return withByteEscapes(escapedText, false);
}

std::optional<QByteArray> nativePathFor(const QString& path)
{
    QByteArray native;
    native.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        const QChar c = path[i];
        if (c.isHighSurrogate() && i + 1 < path.size() && path[i + 1].isLowSurrogate()) {
            native.append(QStringView(path).sliced(i, 2).toUtf8());
            ++i;
            continue;
        }
        if (c.isLowSurrogate() && c.unicode() >= kEscapeBase + 0x80 && c.unicode() <= kEscapeBase + 0xFF) {
            native.append(static_cast<char>(c.unicode() - kEscapeBase));
            continue;
        }
        if (c.isSurrogate() || c.isNull()) {
            return std::nullopt;
        }
        native.append(QStringView(path).sliced(i, 1).toUtf8());
    }
    return native;
}
