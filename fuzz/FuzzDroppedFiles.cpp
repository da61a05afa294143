// The dropped file against a model of its own: drops built from lines whose meaning is known (local file URLs with
// percent-encoded bytes of any kind, other hosts, other schemes, relative paths, comments), and raw bytes of any
// kind, where only the promises that hold for every answer are checked.
#include "DroppedFiles.h"
#include "FuzzInput.h"
#include "NativePath.h"

#include <cstdio>
#include <QMimeData>

namespace {

const QString kUriList = QStringLiteral("text/uri-list");

struct Line
{
    QByteArray text;
    std::optional<QByteArray> file; // the bytes of the absolute local path the line names, if it names one
};

bool isUnreserved(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

// Percent-encodes what must be, and more when asked; a slash stays one unless it would start an authority.
QByteArray encoded(const QByteArray& bytes, std::uint8_t style, bool slashFirstEncoded)
{
    const char* digits = (style & 1) ? "0123456789abcdef" : "0123456789ABCDEF";
    const bool everything = (style & 2) != 0;
    QByteArray out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const bool slashKept = c == '/' && !(i == 0 && slashFirstEncoded);
        if (!everything && (isUnreserved(c) || slashKept)) {
            out.append(c);
        } else {
            const auto value = static_cast<unsigned char>(c);
            out.append('%').append(digits[value >> 4]).append(digits[value & 15]);
        }
    }
    return out;
}

// "file" in any mix of cases: a scheme is the same whatever its case.
QByteArray fileScheme(std::uint8_t cases)
{
    QByteArray scheme("file:");
    for (int i = 0; i < 4; ++i) {
        if (cases & (1 << i)) {
            scheme[i] = static_cast<char>(scheme[i] - 'a' + 'A');
        }
    }
    return scheme;
}

// A host name of letters, digits and the marks a registered name may hold; never empty.
QByteArray hostName(FuzzInput& input)
{
    static const char chars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~!$&'()*+,;=";
    QByteArray raw = input.bytes(12);
    QByteArray host;
    for (const char c : raw) {
        host.append(chars[static_cast<unsigned char>(c) % (sizeof(chars) - 1)]);
    }
    return host.isEmpty() ? QByteArray("example") : host;
}

QByteArray localhostName(std::uint8_t cases)
{
    QByteArray host("localhost");
    for (int i = 0; i < 8; ++i) {
        if (cases & (1 << i)) {
            host[i] = static_cast<char>(host[i] - 'a' + 'A');
        }
    }
    return host;
}

// A file the line names only when its bytes can name one: no NUL, which no file name on Linux holds.
std::optional<QByteArray> fileIfNameable(const QByteArray& path)
{
    if (!path.startsWith('/') || path.contains('\0')) {
        return std::nullopt;
    }
    return path;
}

Line lineFrom(FuzzInput& input)
{
    const std::uint8_t kind = input.byte();
    const std::uint8_t style = input.byte();
    const QByteArray scheme = fileScheme(input.byte());
    switch (kind % 8) {
    case 0: { // file:///path
        const QByteArray path = input.bytes();
        return {scheme + "///" + encoded(path, style, false), fileIfNameable('/' + path)};
    }
    case 1: { // file://localhost/path, in any case
        const QByteArray host = localhostName(input.byte());
        const QByteArray path = input.bytes();
        return {scheme + "//" + host + '/' + encoded(path, style, false), fileIfNameable('/' + path)};
    }
    case 2: { // file:/path, without an authority
        const QByteArray path = input.bytes();
        return {scheme + '/' + encoded(path, style, true), fileIfNameable('/' + path)};
    }
    case 3: { // file://host/path: on another machine unless the host is this one
        const QByteArray host = hostName(input);
        const QByteArray path = input.bytes();
        const bool local = host.toLower() == "localhost";
        return {scheme + "//" + host + '/' + encoded(path, style, false),
                local ? fileIfNameable('/' + path) : std::nullopt};
    }
    case 4: { // file:path, relative unless its first byte, encoded, is a slash
        const QByteArray path = input.bytes();
        return {scheme + encoded(path, style, true), fileIfNameable(path)};
    }
    case 5: { // a web address
        const QByteArray host = hostName(input);
        return {(style & 4 ? "https://" : "http://") + host + '/' + encoded(input.bytes(), style, false), {}};
    }
    case 6: { // a comment: any bytes but a line break
        QByteArray comment = input.bytes();
        comment.replace('\n', ' ').replace('\r', ' ');
        return {'#' + comment, {}};
    }
    default:
        return {(style & 1) ? QByteArray(" \t ") : QByteArray(), {}};
    }
}

// Bytes as C escapes, for the report of a broken property.
QByteArray escaped(const QByteArray& bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        const auto value = static_cast<unsigned char>(c);
        out += value >= 0x20 && value < 0x7f && c != '\\' ? QByteArray(1, c)
                                                          : QByteArray::number(value + 0x100, 16).replace(0, 1, "\\x");
    }
    return out;
}

// The promises that hold for any drop: an answer names a full local path, as text that turns back into its bytes.
void checkAnyAnswer(const std::optional<QString>& file)
{
    if (!file) {
        return;
    }
    const std::optional<QByteArray> native = nativePathFor(*file);
    FUZZ_CHECK(native.has_value());
    FUZZ_CHECK(native->startsWith('/'));
    FUZZ_CHECK(textForNativePath(*native) == *file);
}

void fuzzKnownLines(FuzzInput& input)
{
    const std::uint8_t layout = input.byte();
    const QByteArray separator = (layout & 1) ? QByteArray("\r\n") : QByteArray("\n");
    const QByteArray margin = (layout & 2) ? QByteArray(" ") : QByteArray();
    QByteArray list;
    std::optional<QByteArray> expected;
    for (int count = 0; !input.atEnd() && count < 16; ++count) {
        const Line line = lineFrom(input);
        list += margin + line.text + margin + separator;
        if (!expected) {
            expected = line.file;
        }
    }
    if (layout & 4) {
        list += '\0'; // as some older senders end the list
    }

    QMimeData data;
    // The same lines as plain text only, as an editor drags them, name no file.
    const bool asPlainText = (layout & 8) != 0;
    data.setData(asPlainText ? QStringLiteral("text/plain") : kUriList, list);
    if (asPlainText) {
        expected.reset();
    }

    const std::optional<QString> file = firstDroppedFile(data);
    const std::optional<QByteArray> named = file ? nativePathFor(*file) : std::nullopt;
    if (file.has_value() != expected.has_value() || (file && named != expected)) {
        std::fprintf(stderr, "list \"%s\"%s: named \"%s\", expected \"%s\"\n", escaped(list).constData(),
                     asPlainText ? " as plain text" : "",
                     named ? escaped(*named).constData() : (file ? escaped(file->toUtf8()).constData() : "nothing"),
                     expected ? escaped(*expected).constData() : "nothing");
    }
    checkAnyAnswer(file);
    FUZZ_CHECK(file.has_value() == expected.has_value());
    if (file) {
        FUZZ_CHECK(nativePathFor(*file) == expected);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    if (input.byte() % 4 != 0) {
        fuzzKnownLines(input);
        return 0;
    }
    QMimeData raw;
    raw.setData(kUriList, input.rest());
    checkAnyAnswer(firstDroppedFile(raw));
    return 0;
}
