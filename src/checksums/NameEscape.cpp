#include "NameEscape.h"

bool nameNeedsEscape(QByteArrayView name)
{
    for (const char c : name) {
        if (c == '\\' || c == '\n' || c == '\r') {
            return true;
        }
    }
    return false;
}

QByteArray escapeName(QByteArrayView name)
{
    QByteArray out;
    out.reserve(name.size() + 8);
    for (const char c : name) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

std::optional<QByteArray> unescapeName(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}
