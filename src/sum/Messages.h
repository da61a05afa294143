#pragma once

#include <QByteArray>

// Messages on standard error, in the GNU tools' form: "PROGRAM: TEXT".
void setProgramName(const QByteArray& name);
const QByteArray& programName();
void printError(const QByteArray& text);
void printRaw(const QByteArray& text);
void printTryHelp();

// The progress line on standard error: shown (replacing the last one), or cleared. Messages, and output to the same
// terminal, clear it first so that no text lands in the middle of it; the next update draws it again.
void showProgressLine(const QByteArray& text);
void clearProgressLine();

// Takes the user's locale for everything but the words of messages, which stay English: ours are not translated,
// so the system's (strerror's "Is a directory") must not be either, or one message would mix two languages.
// Again after anything that sets the locale afresh (QCoreApplication does).
void useLocaleWithEnglishMessages();

// Whether messages may use UTF-8 (the locale's character set says so).
bool localeIsUtf8();
// 'text' quoted as the GNU tools quote option values: curly quotes in a UTF-8 locale, plain ones otherwise.
QByteArray quoted(const QByteArray& text);
// A file name in a message, quoted for a shell (see QuotedName.h).
QByteArray nameInMessage(const QByteArray& name);

enum class DigestFailure;
// "NAME: WHY" for a file that gave no digest: the system's words, or ours for what the system does not report.
void printFailure(const QByteArray& name, DigestFailure failure, const QString& reason);
