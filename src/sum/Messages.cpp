#include "Messages.h"

#include "FileDigests.h"
#include "QuotedName.h"
#include "StandardOutput.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <langinfo.h>
#include <mutex>

namespace {
QByteArray g_programName = "keswin-sum";
std::mutex g_terminalMutex; // the progress thread and the main thread share standard error's line
bool g_progressShown = false;

void clearProgressLocked()
{
    if (g_progressShown) {
        std::fputs("\r\x1b[K", stderr);
        std::fflush(stderr);
        g_progressShown = false;
    }
}
} // namespace

void showProgressLine(const QByteArray& text)
{
    const std::lock_guard lock(g_terminalMutex);
    std::fwrite(("\r" + text + "\x1b[K").constData(), 1, static_cast<std::size_t>(text.size() + 4), stderr);
    std::fflush(stderr);
    g_progressShown = true;
}

void clearProgressLine()
{
    const std::lock_guard lock(g_terminalMutex);
    clearProgressLocked();
}

void setProgramName(const QByteArray& name)
{
    g_programName = name;
}

const QByteArray& programName()
{
    return g_programName;
}

void printRaw(const QByteArray& text)
{
    StandardOutput::flush(); // what came before on standard output goes first, as with the GNU tools
    const std::lock_guard lock(g_terminalMutex);
    clearProgressLocked();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
}

void printError(const QByteArray& text)
{
    printRaw(g_programName + ": " + text + '\n');
}

void printTryHelp()
{
    printRaw("Try '" + g_programName + " --help' for more information.\n");
}

void useLocaleWithEnglishMessages()
{
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_MESSAGES, "C");
}

bool localeIsUtf8()
{
    static const bool utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    return utf8;
}

QByteArray quoted(const QByteArray& text)
{
    return localeIsUtf8() ? "\xe2\x80\x98" + text + "\xe2\x80\x99" : '\'' + text + '\'';
}

QByteArray nameInMessage(const QByteArray& name)
{
    return quotedName(name, localeIsUtf8());
}

void printFailure(const QByteArray& name, DigestFailure failure, const QString& reason)
{
    // In the short form of the system's own messages, which the other reasons are.
    const QByteArray why = failure == DigestFailure::ChangedWhileRead ? QByteArray("file changed as it was read")
                           : failure == DigestFailure::BeingWritten
                               ? QByteArray("file is open for writing by another program")
                               : reason.toLocal8Bit();
    printError(nameInMessage(name) + ": " + why);
}
