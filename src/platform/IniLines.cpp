#include "IniLines.h"

#include <QList>

namespace {

struct Line
{
    qsizetype start = 0; // of the line's text
    qsizetype end = 0;   // of its text, before "\r\n" or "\n"
    qsizetype next = 0;  // past its line end
};

QList<Line> linesOf(const QByteArray& file)
{
    QList<Line> lines;
    // A byte order mark, as some editors save, stays where it is and out of the first line's text.
    const qsizetype first = file.startsWith("\xef\xbb\xbf") ? 3 : 0;
    for (qsizetype at = first; at < file.size();) {
        const qsizetype feed = file.indexOf('\n', at);
        Line line{at, feed < 0 ? file.size() : feed, feed < 0 ? file.size() : feed + 1};
        if (line.end > at && file[line.end - 1] == '\r') {
            --line.end;
        }
        lines.append(line);
        at = line.next;
    }
    return lines;
}

QByteArray trimmedText(const QByteArray& file, const Line& line)
{
    return file.mid(line.start, line.end - line.start).trimmed();
}

// Where the last "key=" line of the group is (its index, and the offset just past its "="), and the index of the
// group's last header; -1 for either when absent.
struct Found
{
    qsizetype header = -1;
    qsizetype line = -1;
    qsizetype valueAt = 0;
};

Found find(const QByteArray& file, const QList<Line>& lines, const QString& section, const QString& key)
{
    const QByteArray header = '[' + section.toUtf8() + ']';
    const QByteArray name = key.toUtf8();
    Found found;
    bool inside = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray text = trimmedText(file, lines[i]);
        if (text.startsWith('[')) {
            inside = text == header;
            found.header = inside ? i : found.header;
            continue;
        }
        const qsizetype equals = text.indexOf('=');
        if (!inside || text.startsWith(';') || text.startsWith('#') || equals < 0 ||
            text.left(equals).trimmed() != name) {
            continue;
        }
        found.line = i;
        found.valueAt = file.indexOf('=', lines[i].start) + 1;
    }
    return found;
}

// Plain text reads as itself; anything that is not, quoted, with the escapes of a C string.
bool isPlain(const QString& value)
{
    if (value.isEmpty() || value.front().isSpace() || value.back().isSpace()) {
        return false;
    }
    for (const QChar c : value) {
        if (c.unicode() < 0x20 || c == u'\x7F' || c == u'"' || c == u'\\' || c == u';' || c == u'#' || c == u',') {
            return false;
        }
    }
    return true;
}

QByteArray encoded(const QString& value)
{
    if (isPlain(value)) {
        return value.toUtf8();
    }
    QByteArray text("\"");
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'"':
            text += "\\\"";
            break;
        case u'\\':
            text += "\\\\";
            break;
        case u'\n':
            text += "\\n";
            break;
        case u'\r':
            text += "\\r";
            break;
        case u'\t':
            text += "\\t";
            break;
        default:
            text += c.unicode() < 0x20 || c == u'\x7F'
                        ? "\\x" + QByteArray::number(c.unicode(), 16).rightJustified(4, '0')
                        : QString(c).toUtf8();
        }
    }
    return text + '"';
}

QString decoded(const QByteArray& raw)
{
    const QString text = QString::fromUtf8(raw.trimmed());
    if (!text.startsWith(u'"')) {
        return text;
    }
    QString value;
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] == u'"') {
            break;
        }
        if (text[i] != u'\\' || i + 1 == text.size()) {
            value += text[i];
            continue;
        }
        const QChar escaped = text[++i];
        if (escaped == u'n') {
            value += u'\n';
        } else if (escaped == u'r') {
            value += u'\r';
        } else if (escaped == u't') {
            value += u'\t';
        } else if (escaped == u'x' && i + 4 < text.size()) {
            value += QChar(static_cast<char16_t>(text.mid(i + 1, 4).toUShort(nullptr, 16)));
            i += 4;
        } else {
            value += escaped;
        }
    }
    return value;
}

} // namespace

std::optional<QString> iniValue(const QByteArray& file, const QString& section, const QString& key)
{
    const QList<Line> lines = linesOf(file);
    const Found found = find(file, lines, section, key);
    if (found.line < 0) {
        return std::nullopt;
    }
    return decoded(file.mid(found.valueAt, lines[found.line].end - found.valueAt));
}

QByteArray withIniValue(const QByteArray& file, const QString& section, const QString& key, const QString& value)
{
    const QList<Line> lines = linesOf(file);
    const Found found = find(file, lines, section, key);
    const QByteArray entry = key.toUtf8() + '=' + encoded(value);
    if (found.line >= 0) {
        const Line& line = lines[found.line];
        return file.left(found.valueAt) + encoded(value) + file.mid(line.end);
    }
    if (found.header >= 0) {
        // Below the header, ended as the header is.
        const Line& header = lines[found.header];
        const bool crlf = header.next - header.end == 2;
        const QByteArray end = crlf ? "\r\n" : "\n";
        const QByteArray headerEnd = header.next == header.end ? end : QByteArray();
        return file.left(header.next) + headerEnd + entry + end + file.mid(header.next);
    }
    const QByteArray end = file.contains("\r\n") ? "\r\n" : "\n";
    QByteArray edited = file;
    if (!edited.isEmpty()) {
        edited += edited.endsWith('\n') ? end : end + end;
    }
    return edited + '[' + section.toUtf8() + ']' + end + entry + end;
}
