#include "CheckArguments.h"
#include "ClipboardHandover.h"
#include "FileDialogChild.h"
#include "frmCheck.h"
#include "LiveWorker.h"
#include "NativePath.h"
#include "ProcessFileDialog.h"
#include "QtClipboard.h"
#include "SummaryReport.h"
#include "TerminationRequests.h"
#include "Version.h"

#include <cstdio>
#include <cstdlib>
#include <QApplication>

int main(int argc, char** argv)
{
    static char fallbackName[] = "keswin-check";
    char* programName = argc > 0 && argv[0] ? argv[0] : fallbackName;
    // The file dialogs are shown by this program started again, in a process of their own.
    if (isFileDialogChild(argc)) {
        return runFileDialogChild(fallbackName);
    }
    // Each argument as the bytes the system gave, so that a name that is not UTF-8 names the same file.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(textForNativePath(QByteArray(argv[i] ? argv[i] : "")));
    }
    // Qt sees the program's name alone: a file called -platform is a file to check, never one of Qt's options.
    int qtArgc = 1;
    char* qtArgv[] = {programName, nullptr};

    // Read before the window's application exists, so that --help and --version need no display.
    CheckArguments parsed;
    {
        const QCoreApplication reading(qtArgc, qtArgv);
        QCoreApplication::setApplicationVersion(kVersionText);
        parsed = parseCheckArguments(arguments);
    }
    if (!parsed.error.isEmpty()) {
        std::fprintf(stderr, "keswin-check: %s\n\n%s", qUtf8Printable(parsed.error), qUtf8Printable(parsed.helpText));
        return 2;
    }
    if (parsed.help || parsed.version) {
        const QString text = parsed.help ? parsed.helpText : QStringLiteral("keswin-check %1\n").arg(kVersionText);
        std::fputs(qUtf8Printable(text), stdout);
        return 0;
    }

    QApplication application(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("Keswin Hash Check"));
    QApplication::setApplicationVersion(kVersionText);
    QGuiApplication::setDesktopFileName(QStringLiteral("keswin-check"));

    TerminationRequests termination;
    QObject::connect(&termination, &TerminationRequests::requested, [] { QApplication::closeAllWindows(); });

    ProcessFileDialog fileDialog;
    QtClipboard clipboard;
    frmCheck window(fileDialog, clipboard);
    QApplication::setWindowIcon(window.windowIcon());
    printSummaryWhenAsked(window.session());
    takeArguments(window.intake(), parsed.files);
    window.show();
    const int status = QApplication::exec();

    // A worker abandoned inside a read that hangs must neither hold the process up nor see the libraries it uses
    // torn down under it: end at once, as closing the window promises.
    if (LiveWorker::count() > 0) {
        handClipboardToManager(std::chrono::seconds(5));
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
