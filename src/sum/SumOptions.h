#pragma once

#include "Algorithms.h"

#include <QByteArray>
#include <QList>
#include <vector>

struct SumOptions
{
    std::vector<HashAlgorithm> algorithms; // in the order given; the default four when none
    bool algorithmGiven = false;
    std::size_t lengthBits = 0; // -l: BLAKE2b's and BLAKE3's digest length; 0 for their own
    bool untagged = false;
    bool check = false;
    bool quiet = false;
    bool status = false;
    bool strict = false;
    bool warn = false;
    bool ignoreMissing = false;
    bool zero = false;
    bool progress = false;
    QList<QByteArray> files; // as the system gave them; none: standard input
};

enum class ParseOutcome
{
    Run,
    Help,
    Version,
    UsageError, // the message is already on standard error
};

struct ParsedOptions
{
    ParseOutcome outcome = ParseOutcome::Run;
    SumOptions options;
};

// Reads the command line as the GNU tools do (long options abbreviated, options after files, "--"), printing
// usage errors in their words, on standard error, under the program's name.
ParsedOptions parseSumOptions(int argc, char** argv);

// The algorithms of "-a md5,sha256"; nothing when any name is unknown or repeated, and then, for a repeated one,
// its name in repeated.
std::optional<std::vector<HashAlgorithm>> algorithmList(QByteArrayView text, QByteArray* repeated = nullptr);

QByteArray helpText(const QByteArray& program);
