#include "SumOptions.h"

#include "Messages.h"

#include <algorithm>
#include <cctype>
#include <getopt.h>

namespace {

enum LongOnly
{
    OptionUntagged = 256,
    OptionTag,
    OptionQuiet,
    OptionStatus,
    OptionStrict,
    OptionIgnoreMissing,
    OptionProgress,
    OptionDebug,
    OptionHelp,
    OptionVersion,
};

const option kLongOptions[] = {
    {"algorithm", required_argument, nullptr, 'a'},
    {"length", required_argument, nullptr, 'l'},
    {"check", no_argument, nullptr, 'c'},
    {"untagged", no_argument, nullptr, OptionUntagged},
    {"tag", no_argument, nullptr, OptionTag},
    {"zero", no_argument, nullptr, 'z'},
    {"ignore-missing", no_argument, nullptr, OptionIgnoreMissing},
    {"quiet", no_argument, nullptr, OptionQuiet},
    {"status", no_argument, nullptr, OptionStatus},
    {"strict", no_argument, nullptr, OptionStrict},
    {"warn", no_argument, nullptr, 'w'},
    {"progress", no_argument, nullptr, OptionProgress},
    {"debug", no_argument, nullptr, OptionDebug},
    {"help", no_argument, nullptr, OptionHelp},
    {"version", no_argument, nullptr, OptionVersion},
    {nullptr, 0, nullptr, 0},
};

ParsedOptions usageError(const QByteArray& message = {})
{
    if (!message.isEmpty()) {
        printError(message);
    }
    printTryHelp();
    return {ParseOutcome::UsageError, {}};
}

QByteArray algorithmNames()
{
    QByteArray names;
    for (const AlgorithmInfo& info : kAlgorithms) {
        names += "  - " + quoted(QByteArray(info.name.data(), static_cast<qsizetype>(info.name.size()))) + '\n';
    }
    return names;
}

// -l's number as the GNU tools read it: decimal, after blanks and a '+'; the message for anything else is theirs, and
// comes at once, without the hint about --help.
std::optional<std::size_t> lengthArgument(const QByteArray& text)
{
    qsizetype i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    i += i < text.size() && text[i] == '+' ? 1 : 0;
    const QByteArray digits = text.sliced(i);
    std::size_t bits = 0;
    bool valid = !digits.isEmpty();
    for (const char c : digits) {
        valid = valid && c >= '0' && c <= '9';
    }
    if (!valid) {
        printError("invalid length: " + quoted(text));
        return std::nullopt;
    }
    bool fits = false;
    bits = digits.toULongLong(&fits);
    if (!fits) {
        printError("invalid length: " + quoted(text) + ": Value too large for defined data type");
        return std::nullopt;
    }
    if (bits % 8 != 0) {
        printError("invalid length: " + quoted(text));
        printError("length is not a multiple of 8");
        return std::nullopt;
    }
    return bits;
}

// The families in the list at the length -l gives: BLAKE2b-256 for blake2b; an error, in the GNU tools' words, when
// no algorithm takes a length or it is too long. The length is left out when checking, as they leave it: each line
// says its own.
bool applyLength(SumOptions& options)
{
    const auto takesLength = [](HashAlgorithm algorithm) { return hasLengths(algorithm); };
    if (std::none_of(options.algorithms.begin(), options.algorithms.end(), takesLength)) {
        printError("--length is only supported with --algorithm=blake2b or blake3");
        return false;
    }
    for (HashAlgorithm& algorithm : options.algorithms) {
        if (!hasLengths(algorithm)) {
            continue;
        }
        const std::size_t longest = kLengthKeysPerFamily * 8;
        const std::optional<HashAlgorithm> ofLength =
            options.lengthBits <= longest ? algorithmOfLength(algorithm, options.lengthBits / 8) : std::nullopt;
        if (!ofLength) {
            printError("invalid length: " + quoted(QByteArray::number(static_cast<qulonglong>(options.lengthBits))));
            const std::string_view tag = algorithmInfo(algorithm).tag;
            printError("maximum digest length for " +
                       quoted(QByteArray(tag.data(), static_cast<qsizetype>(tag.size()))) + " is " +
                       QByteArray::number(static_cast<qulonglong>(longest)) + " bits");
            return false;
        }
        algorithm = options.check ? algorithm : *ofLength;
    }
    return true;
}

} // namespace

std::optional<std::vector<HashAlgorithm>> algorithmList(QByteArrayView text, QByteArray* repeated)
{
    std::vector<HashAlgorithm> list;
    for (const QByteArray& name : QByteArrayView(text).toByteArray().split(',')) {
        const std::optional<HashAlgorithm> algorithm =
            algorithmFromName(std::string_view(name.data(), static_cast<std::size_t>(name.size())));
        if (!algorithm) {
            return std::nullopt;
        }
        if (std::find(list.begin(), list.end(), *algorithm) != list.end()) {
            if (repeated) {
                *repeated = name;
            }
            return std::nullopt;
        }
        list.push_back(*algorithm);
    }
    return list;
}

ParsedOptions parseSumOptions(int argc, char** argv)
{
    ParsedOptions parsed;
    SumOptions& options = parsed.options;
    optind = 1;
    bool tagGiven = false; // --tag, and no --untagged after it
    int c;
    while ((c = getopt_long(argc, argv, "a:l:czwbt", kLongOptions, nullptr)) != -1) {
        switch (c) {
        case 'l': {
            const std::optional<std::size_t> bits = lengthArgument(optarg);
            if (!bits) {
                return {ParseOutcome::UsageError, {}};
            }
            options.lengthBits = *bits;
            break;
        }
        case 'a': {
            QByteArray repeated;
            const std::optional<std::vector<HashAlgorithm>> list = algorithmList(optarg, &repeated);
            if (!list && !repeated.isEmpty()) {
                // Every name is known: listing them all would hide what is wrong.
                return usageError("algorithm " + quoted(repeated) + " is named twice in " + quoted(optarg));
            }
            if (!list) {
                printError("invalid argument " + quoted(optarg) + " for " + quoted("--algorithm"));
                printRaw("Valid arguments are:\n" + algorithmNames());
                return usageError();
            }
            options.algorithms = *list;
            options.algorithmGiven = true;
            break;
        }
        case 'c':
            options.check = true;
            break;
        case 'z':
            options.zero = true;
            break;
        case 'w': // the three say how much to tell: the last one given wins
            options.warn = true;
            options.quiet = options.status = false;
            break;
        case OptionUntagged:
            options.untagged = true;
            tagGiven = false;
            break;
        case OptionTag:
            options.untagged = false;
            tagGiven = true;
            break;
        case OptionIgnoreMissing:
            options.ignoreMissing = true;
            break;
        case OptionQuiet:
            options.quiet = true;
            options.warn = options.status = false;
            break;
        case OptionStatus:
            options.status = true;
            options.warn = options.quiet = false;
            break;
        case OptionStrict:
            options.strict = true;
            break;
        case OptionProgress:
            options.progress = true;
            break;
        case OptionDebug: // accepted as the GNU tools accept it; with -a they print nothing more either
            break;
        case 'b': // text and binary modes are the single-algorithm tools' own: the GNU tools refuse them here too
        case 't':
            return usageError();
        case OptionHelp:
            parsed.outcome = ParseOutcome::Help;
            return parsed;
        case OptionVersion:
            parsed.outcome = ParseOutcome::Version;
            return parsed;
        default:
            return usageError(); // getopt has said what was wrong
        }
    }
    for (int i = optind; i < argc; ++i) {
        options.files.append(QByteArray(argv[i]));
    }
    if (options.algorithms.empty()) {
        options.algorithms = {HashAlgorithm::Crc32, HashAlgorithm::Md5, HashAlgorithm::Sha1, HashAlgorithm::Sha256};
    }

    if (options.lengthBits != 0 && !applyLength(options)) {
        return {ParseOutcome::UsageError, {}};
    }
    if (options.check && options.zero) {
        return usageError("the --zero option is not supported when verifying checksums");
    }
    if (options.check && tagGiven) {
        return usageError("the --tag option is meaningless when verifying checksums");
    }
    if (!options.check) {
        const std::pair<bool, const char*> checkOnly[] = {{options.ignoreMissing, "--ignore-missing"},
                                                          {options.status, "--status"},
                                                          {options.warn, "--warn"},
                                                          {options.quiet, "--quiet"},
                                                          {options.strict, "--strict"}};
        for (const auto& [given, name] : checkOnly) {
            if (given) {
                return usageError(QByteArray("the ") + name + " option is meaningful only when verifying checksums");
            }
        }
        if (options.untagged && options.algorithms.size() != 1) {
            return usageError("--untagged needs exactly one algorithm");
        }
    } else if (options.algorithmGiven && options.algorithms.size() != 1) {
        return usageError("--check takes at most one algorithm");
    }
    return parsed;
}
