#include "DateTimeText.h"

#include <algorithm>
#include <QList>

namespace {

// A format is edited as a list of fields and single literal characters, so that quoting never decides what a
// character means: "'kl'." and "kl." look alike here, and only the serializer deals with quotes again.
enum class Kind
{
    Field,
    Zone,
    Literal
};

struct Token
{
    Kind kind;
    QString text; // the pattern letters of a field or zone, or the one character a literal shows
};

bool isPatternLetter(QChar c)
{
    return QStringView(u"dMyhHmszaAt").contains(c);
}

QList<Token> tokenize(const QString& format)
{
    QList<Token> tokens;
    const qsizetype size = format.size();
    qsizetype i = 0;
    while (i < size) {
        const QChar c = format[i];
        if (c == u'\'') {
            // "''" is a quote character both inside and outside quotes; an unclosed quote runs to the end.
            if (i + 1 < size && format[i + 1] == u'\'') {
                tokens.append({Kind::Literal, QStringLiteral("'")});
                i += 2;
                continue;
            }
            for (++i; i < size; ++i) {
                if (format[i] == u'\'') {
                    if (i + 1 < size && format[i + 1] == u'\'') {
                        tokens.append({Kind::Literal, QStringLiteral("'")});
                        ++i;
                        continue;
                    }
                    break;
                }
                tokens.append({Kind::Literal, QString(format[i])});
            }
            ++i;
            continue;
        }
        if ((c == u'a' || c == u'A') && i + 1 < size && (format[i + 1] == u'p' || format[i + 1] == u'P')) {
            tokens.append({Kind::Field, format.sliced(i, 2)});
            i += 2;
            continue;
        }
        if (c == u'B') {
            // CLDR's flexible day period, which QLocale would print as a literal "B" (Traditional Chinese);
            // its plain AM/PM is the nearest thing QLocale knows.
            while (i < size && format[i] == u'B') {
                ++i;
            }
            tokens.append({Kind::Field, QStringLiteral("AP")});
            continue;
        }
        if (isPatternLetter(c)) {
            qsizetype end = i + 1;
            while (end < size && format[end] == c && c != u'a' && c != u'A') {
                ++end;
            }
            tokens.append({c == u't' ? Kind::Zone : Kind::Field, format.sliced(i, end - i)});
            i = end;
            continue;
        }
        tokens.append({Kind::Literal, QString(c)});
        ++i;
    }
    return tokens;
}

QString serialize(const QList<Token>& tokens)
{
    QString format;
    QString literal;
    const auto flush = [&] {
        const bool needsQuotes = std::any_of(literal.cbegin(), literal.cend(),
                                             [](QChar c) { return c == u'\'' || (c.isLetter() && c.unicode() < 128); });
        if (needsQuotes) {
            format += u'\'' + literal.replace(u'\'', QStringLiteral("''")) + u'\'';
        } else {
            format += literal;
        }
        literal.clear();
    };
    for (const Token& token : tokens) {
        if (token.kind == Kind::Literal) {
            literal += token.text;
            continue;
        }
        flush();
        format += token.text;
    }
    flush();
    return format;
}

bool isLiteral(const Token& token, QChar::Category category)
{
    return token.kind == Kind::Literal && token.text[0].category() == category;
}

bool isBlank(const Token& token)
{
    return token.kind == Kind::Literal && token.text[0].isSpace();
}

bool isOpening(const Token& token)
{
    return isLiteral(token, QChar::Punctuation_Open);
}

bool isClosing(const Token& token)
{
    return isLiteral(token, QChar::Punctuation_Close);
}

// Commas, dots, hyphens and the like; brackets and quotation marks enclose rather than separate.
bool isSeparator(const Token& token)
{
    if (token.kind != Kind::Literal || !token.text[0].isPunct() || token.text == u"'" || token.text == u"\"") {
        return false;
    }
    return !isOpening(token) && !isClosing(token) && !isLiteral(token, QChar::Punctuation_InitialQuote) &&
           !isLiteral(token, QChar::Punctuation_FinalQuote);
}

// Where the blanks and separator that join the zone to what precedes it begin. A separator right after literal
// text is part of that text ("ч." in Bulgarian) and stays; after a field or at the start it only served the zone.
qsizetype joinerBefore(const QList<Token>& tokens, qsizetype at)
{
    qsizetype blanks = at;
    while (blanks > 0 && isBlank(tokens[blanks - 1])) {
        --blanks;
    }
    qsizetype start = blanks;
    while (start > 0 && isSeparator(tokens[start - 1])) {
        --start;
    }
    if (start == blanks) {
        return blanks;
    }
    while (start > 0 && isBlank(tokens[start - 1])) {
        --start;
    }
    return start == 0 || tokens[start - 1].kind != Kind::Literal ? start : blanks;
}

// The mirror image of joinerBefore, for a zone that leads.
qsizetype joinerAfter(const QList<Token>& tokens, qsizetype at)
{
    const qsizetype size = tokens.size();
    qsizetype blanks = at;
    while (blanks < size && isBlank(tokens[blanks])) {
        ++blanks;
    }
    qsizetype end = blanks;
    while (end < size && isSeparator(tokens[end])) {
        ++end;
    }
    if (end == blanks) {
        return blanks;
    }
    while (end < size && isBlank(tokens[end])) {
        ++end;
    }
    return end == size || tokens[end].kind != Kind::Literal ? end : blanks;
}

void removeZone(QList<Token>& tokens, qsizetype zone)
{
    const qsizetype size = tokens.size();
    qsizetype first = zone;
    qsizetype last = zone + 1;
    // Brackets that hold nothing but the zone go with it: " (t)", " [t]", "（t）", even nested.
    for (;;) {
        qsizetype open = first;
        while (open > 0 && isBlank(tokens[open - 1])) {
            --open;
        }
        qsizetype close = last;
        while (close < size && isBlank(tokens[close])) {
            ++close;
        }
        if (open == 0 || close == size || !isOpening(tokens[open - 1]) || !isClosing(tokens[close])) {
            break;
        }
        first = open - 1;
        last = close + 1;
    }
    const qsizetype before = joinerBefore(tokens, first);
    const qsizetype after = joinerAfter(tokens, last);
    if (before == 0 || after == size) {
        // At either end of the format nothing may dangle on either side.
        tokens.remove(before, after - before);
        return;
    }
    // Between two parts one joiner goes and the other joins them; straight after an opening bracket it is the
    // joiner behind the zone that goes ("(t, ss)" becomes "(ss)").
    const bool joinedBefore = before < first && !isOpening(tokens[before - 1]);
    if (!joinedBefore) {
        tokens.remove(first, after - first);
        return;
    }
    const bool lostBlank = std::any_of(tokens.cbegin() + before, tokens.cbegin() + first, isBlank);
    const bool glued = !isBlank(tokens[last]) && !isSeparator(tokens[last]) && !isClosing(tokens[last]);
    tokens.remove(before, last - before);
    if (lostBlank && glued) {
        tokens.insert(before, {Kind::Literal, QStringLiteral(" ")});
    }
}

// A time part never starts or ends with a blank nor has two in a row, whatever the zone left behind.
void tidyBlanks(QList<Token>& tokens)
{
    QList<Token> tidy;
    for (const Token& token : tokens) {
        if (isBlank(token) && (tidy.isEmpty() || isBlank(tidy.back()))) {
            continue;
        }
        tidy.append(token);
    }
    if (!tidy.isEmpty() && isBlank(tidy.back())) {
        tidy.removeLast();
    }
    tokens = std::move(tidy);
}

QString shortDateWithFullYear(const QLocale& locale)
{
    QList<Token> tokens = tokenize(locale.dateFormat(QLocale::ShortFormat));
    for (Token& token : tokens) {
        if (token.kind == Kind::Field && token.text == u"yy") {
            token.text = QStringLiteral("yyyy");
        }
    }
    return serialize(tokens);
}

} // namespace

QString timeFormatWithoutZone(const QString& timeFormat)
{
    QList<Token> tokens = tokenize(timeFormat);
    for (;;) {
        const auto zone =
            std::find_if(tokens.cbegin(), tokens.cend(), [](const Token& token) { return token.kind == Kind::Zone; });
        if (zone == tokens.cend()) {
            break;
        }
        removeZone(tokens, zone - tokens.cbegin());
    }
    tidyBlanks(tokens);
    return serialize(tokens);
}

QString dateTimeFormat(const QLocale& locale)
{
    const QString date = shortDateWithFullYear(locale);
    const QString time = timeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat));
    return time.isEmpty() ? date : date + u' ' + time;
}

QString dateTimeText(const QDateTime& time, const QLocale& locale)
{
    if (!time.isValid()) {
        return {};
    }
    const QDateTime local = time.toLocalTime();
    const QTime clock = local.time();
    if (clock.hour() == 0 && clock.minute() == 0 && clock.second() == 0) {
        return locale.toString(local.date(), shortDateWithFullYear(locale));
    }
    return locale.toString(local, dateTimeFormat(locale));
}
