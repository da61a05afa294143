#include "ClipboardHandover.h"
#include "Clock.h"
#include "DBusLauncherProgress.h"
#include "DetachedBulletinReminder.h"
#include "DigestEngine.h"
#include "DigestRowsReport.h"
#include "FileDialogChild.h"
#include "frmMain.h"
#include "LiveWorker.h"
#include "modWebLaunch.h"
#include "ProcessFileDialog.h"
#include "QtClipboard.h"
#include "QtMessageBox.h"
#include "QtSettingsStore.h"
#include "QtWebLauncher.h"
#include "StartUp.h"
#include "TaskbarProgress.h"
#include "TerminationRequests.h"
#include "Version.h"
#include "WebAddresses.h"

#include <cstdio>
#include <cstdlib>
#include <QApplication>
#include <QLineEdit>

int main(int argc, char** argv)
{
    static char fallbackName[] = "keswin-hash";
    char* programName = argc > 0 && argv[0] ? argv[0] : fallbackName;
    // "Browse..." starts this program again to show its dialog in a process of its own.
    if (isFileDialogChild(argc)) {
        return runFileDialogChild(fallbackName);
    }
    const QStringList arguments = programArguments(argc, argv);

    // Qt sees the program's name alone, so that a file called -reverse or -platform is a file to analyse and never
    // one of Qt's own options.
    int qtArgc = 1;
    char* qtArgv[] = {programName, nullptr};
    QApplication application(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("Keswin Hash"));
    QApplication::setApplicationVersion(kVersionText);
    // The installed desktop entry's name: Wayland compositors match the window to its entry and icon by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("keswin-hash"));

    // A session ending or a `kill` closes every window as its close box would, message boxes included.
    TerminationRequests termination;
    QObject::connect(&termination, &TerminationRequests::requested, [] { QApplication::closeAllWindows(); });

    QtMessageBox messageBox;
    ProcessFileDialog fileDialog;
    QtClipboard clipboard;
    QtWebLauncher launcher;
    frmMain window(std::make_shared<DigestEngine>(), messageBox, fileDialog, clipboard,
                   [&] { LaunchWebPage(launcher, kHomePage, kShowNormal); });
    // A request while start-up waits for the first facts ends the wait; the window is then never shown.
    QObject::connect(&termination, &TerminationRequests::requested, &window.session(), &AnalysisSession::stop);
    QApplication::setWindowIcon(window.windowIcon());
    // The bar belongs to the desktop entry named above; it is hidden again when a read ends and when the window
    // closes.
    DBusLauncherProgress launcherProgress(
        QStringLiteral("application://%1.desktop").arg(QGuiApplication::desktopFileName()));
    SystemClock clock;
    TaskbarProgress taskbarProgress(window.session(), launcherProgress, clock);
    DetachedBulletinReminder reminder([] { return std::make_unique<QtSettingsStore>(); },
                                      std::make_shared<SystemClock>(), launcher, kBulletinPage);
    printDigestRowsWhenAsked(window.session(), [&](ResultRow row) { return window.textBox(row)->text(); });
    Form_Load(window.session(), arguments, [&] { reminder.start(); });
    // A request that came while a start-up message box was open has closed it; the window is then never shown.
    int status = 0;
    if (!termination.wasRequested()) {
        window.show();
        status = QApplication::exec();
    }

    // Closing has hidden the bar; ending at once must not take that signal along unsent.
    launcherProgress.flush(500);

    // A worker abandoned inside a read that hangs must neither hold the process up nor see the libraries it uses
    // torn down under it: end at once, as closing the window promises.
    if (LiveWorker::count() > 0) {
        // Qt hands the clipboard to the desktop's manager only as the application goes, which ending here skips.
        handClipboardToManager(std::chrono::seconds(5));
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
