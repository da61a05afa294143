#include "CheckArguments.h"

#include "NativePath.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("CheckArguments", text);
}

} // namespace

CheckArguments parseCheckArguments(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Checks files against their published digests: every entry of a checksum file, a file against the "
           "digests found beside it or pasted, or two files against each other."));
    // Not Qt's help option, which brings --help-all for Qt's own options: this program hands Qt none of them.
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")}, tr("Displays this help."));
    parser.addOption(helpOption);
    const QCommandLineOption versionOption = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 tr("A checksum file to check, or a file to check against what is published beside "
                                    "it."),
                                 QStringLiteral("[FILE"));
    parser.addPositionalArgument(QStringLiteral("SECOND"), tr("A second file to compare FILE with."),
                                 QStringLiteral("[SECOND]]"));
    CheckArguments result;
    const bool parsed = parser.parse(arguments);
    result.helpText = parser.helpText();
    if (!parsed) {
        result.error = parser.errorText();
        return result;
    }
    result.help = parser.isSet(helpOption);
    result.version = parser.isSet(versionOption);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 2) {
        result.error = tr("At most two files: FILE and the SECOND to compare it with.");
        return result;
    }
    for (const QString& file : files) {
        const std::optional<QByteArray> native = nativePathFor(file);
        if (!native || native->isEmpty()) {
            result.error = tr("Not a file name: \u201c%1\u201d").arg(displayTextForPath(file));
            return result;
        }
        result.files.append(*native);
    }
    return result;
}
