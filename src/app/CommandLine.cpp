#include "CommandLine.h"

QStringList SplitCLArgs(const QString& text)
{
    QStringList tokens;
    QString token;
    bool quoted = false;
    for (const QChar character : text) {
        if (character == u'"') {
            quoted = !quoted;
        } else if (character == u' ' && !quoted) {
            tokens.append(token);
            token.clear();
        } else {
            token.append(character);
        }
    }
    tokens.append(token);
    return tokens;
}

QString JoinCLArgs(const QStringList& arguments)
{
    QStringList parts;
    parts.reserve(arguments.size());
    for (const QString& argument : arguments) {
        parts.append(argument.contains(u' ') ? u'"' + argument + u'"' : argument);
    }
    return parts.join(u' ');
}
