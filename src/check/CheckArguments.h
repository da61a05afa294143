#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The window's command line: "[FILE [SECOND]]", --help, --version.
struct CheckArguments
{
    QList<QByteArray> files;
    bool help = false;
    bool version = false;
    QString error;    // set when the line cannot be used
    QString helpText; // for --help and with an error
};
CheckArguments parseCheckArguments(const QStringList& arguments);
