// Checksum lines as the GNU tools write them (declared in ChecksumLine.h beside the parser that reads them).
#include "ChecksumLine.h"
#include "HexDigest.h"
#include "NameEscape.h"

QByteArray taggedLine(HashAlgorithm algorithm, QByteArrayView digest, QByteArrayView name, bool zeroTerminated)
{
    QByteArray line;
    appendTaggedLine(line, algorithm, digest, name, zeroTerminated);
    return line;
}

QByteArray untaggedLine(QByteArrayView digest, QByteArrayView name, bool zeroTerminated)
{
    QByteArray line;
    appendUntaggedLine(line, digest, name, zeroTerminated);
    return line;
}

void appendTaggedLine(QByteArray& out, HashAlgorithm algorithm, QByteArrayView digest, QByteArrayView name,
                      bool zeroTerminated)
{
    const bool escape = !zeroTerminated && nameNeedsEscape(name);
    const std::string_view tag = algorithmInfo(algorithm).tag;
    if (escape) {
        out += '\\';
    }
    out += QByteArrayView(tag.data(), static_cast<qsizetype>(tag.size()));
    out += " (";
    out += escape ? QByteArrayView(escapeName(name)) : name;
    out += ") = ";
    appendHexDigest(out, digest);
    out += zeroTerminated ? '\0' : '\n';
}

void appendUntaggedLine(QByteArray& out, QByteArrayView digest, QByteArrayView name, bool zeroTerminated)
{
    appendUntaggedLine(out, HashAlgorithm::Md5, digest, name, zeroTerminated);
}

void appendUntaggedLine(QByteArray& out, HashAlgorithm algorithm, QByteArrayView digest, QByteArrayView name,
                        bool zeroTerminated)
{
    const bool escape = !zeroTerminated && nameNeedsEscape(name);
    if (escape) {
        out += '\\';
    }
    // XXH3's digits alone would be read as XXH64's, of the same length, by the tools that share its lists.
    if (algorithm == HashAlgorithm::Xxh3) {
        out += "XXH3_";
    }
    appendHexDigest(out, digest);
    out += "  ";
    out += escape ? QByteArrayView(escapeName(name)) : name;
    out += zeroTerminated ? '\0' : '\n';
}

QByteArray sfvLine(QByteArrayView crc32Digest, QByteArrayView name)
{
    return name.toByteArray() + ' ' + hexDigest(crc32Digest).toUpper() + '\n';
}
