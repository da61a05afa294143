#pragma once

#include <QString>
#include <QStringList>

// Cuts a command tail into arguments: unquoted spaces separate, each double quote toggles quoting and is dropped.
// Every unquoted space ends a token, so runs of spaces give empty tokens; the result is never empty.
QStringList SplitCLArgs(const QString& text);

// Linux hands the arguments over already split: rebuild a command tail that SplitCLArgs takes apart again,
// quoting each argument that holds a space.
QString JoinCLArgs(const QStringList& arguments);
