// keswin-sum's --help: what SumOptions reads, said for people.
#include "SumOptions.h"

namespace {

// "crc32, md5, ..., blake2b (512 bits).", filled into lines of at most 79 columns after "ALGORITHMS:". An algorithm
// whose family has other lengths (its other tag names the length) says which one it is.
QByteArray algorithmParagraph()
{
    constexpr qsizetype kWidth = 79;
    QByteArray text = "ALGORITHMS:";
    qsizetype lineStart = 0;
    for (std::size_t i = 0; i < kAlgorithms.size(); ++i) {
        const AlgorithmInfo& info = kAlgorithms[i];
        QByteArray word(info.name.data(), static_cast<qsizetype>(info.name.size()));
        if (!info.otherTag.empty()) {
            word += " (" + QByteArray::number(static_cast<qulonglong>(info.digestBytes * 8)) + " bits)";
        }
        word += i + 1 < kAlgorithms.size() ? ',' : '.';
        if (text.size() - lineStart + 1 + word.size() > kWidth) {
            text += '\n';
            lineStart = text.size();
        } else {
            text += ' ';
        }
        text += word;
    }
    return text + '\n';
}

} // namespace

QByteArray helpText(const QByteArray& program)
{
    return "Usage: " + program + R"( [OPTION]... [FILE]...
Print or check checksums: every digest asked for comes from one read of each file.
Standard input is read when no FILE is given, and for each FILE that is -.

  -a, --algorithm=ALG[,ALG...]  the digests to compute, in this order (default
                          crc32,md5,sha1,sha256); see ALGORITHMS below
  -l, --length=BITS     the length of blake2b's and blake3's digests, a
                          multiple of 8 up to 512 (0: their own, 512 and 256)
  -c, --check           the FILEs are checksum lists: check every file they name
      --tag             tagged lines, "ALG (FILE) = HEX" (the default)
      --untagged        lines without the algorithm, "HEX  FILE" (one ALG only)
  -z, --zero            lines end with NUL instead of a line feed; names are
                          written as they are, unescaped
      --progress        show bytes done, total and speed on standard error
                          when it is a terminal

With --check only:
      --ignore-missing  a listed file that is not there is neither reported
                          nor a failure
      --quiet           print nothing for files that match
      --status          print nothing at all: the exit status tells
      --strict          lines that cannot be understood make the exit status 1
  -w, --warn            print a warning for each line that cannot be understood

      --help            print this text
      --version         print the version

)" + algorithmParagraph() +
           R"(
When checking, lines may be tagged ("SHA256 (FILE) = HEX"), untagged
("HEX  FILE", the algorithm from -a or from the length of HEX; XXH3's are
"XXH3_HEX  FILE") or SFV ("FILE CRC32"), mixed within one file. A tag may carry
the algorithm's length in bits, "SHA256-256 (FILE) = HEX". BLAKE2b's and
BLAKE3's lines are read at whatever length they have, whatever -l says: tagged,
"BLAKE2b-256 (FILE) = HEX", and untagged with -a blake2b or -a blake3
(BLAKE2b's also without -a in a list named B2SUMS or FILE.b2); without -a, 64
digits may be BLAKE2b-256 too.

Exit status: 0 when everything is good, 1 when a file could not be read, a
checksum did not match, or the command line was wrong.
)";
}
