#include "FileDialogChild.h"

#include <cerrno>
#include <cstdlib>
#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <QWindow>
#include <unistd.h>

namespace {

bool writeAll(int descriptor, const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = ::write(descriptor, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (written < 0 && errno != EINTR) {
            return false;
        }
        done += written > 0 ? written : 0;
    }
    return true;
}

} // namespace

bool isFileDialogChild(int argc)
{
    return argc <= 1 && qEnvironmentVariableIsSet(kFileDialogTitleVariable);
}

int runFileDialogChild(char* programName)
{
    // Standard output carries the answer and nothing else: what the libraries print goes to standard error.
    const int answerDescriptor = ::dup(STDOUT_FILENO);
    if (answerDescriptor < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
        return 1;
    }

    // Qt sees the program's name alone, as in the window's process.
    int argc = 1;
    char* argv[] = {programName, nullptr};
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keswin Hash"));
    QGuiApplication::setDesktopFileName(QStringLiteral("keswin-hash"));
    // From this thread's event loop: the signs stop when the dialog is stuck. A failed write is a window gone.
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [answerDescriptor] {
        if (!writeAll(answerDescriptor, QByteArray(1, kFileDialogAlive))) {
            std::_Exit(1);
        }
    });
    heartbeat.start(250);

    // No name or filter of ours: every file is listed. Local files only.
    QFileDialog dialog(nullptr, qEnvironmentVariable(kFileDialogTitleVariable));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setSupportedSchemes({QStringLiteral("file")});
    const QUrl startFolder = QUrl::fromEncoded(qgetenv(kFileDialogFolderVariable));
    if (startFolder.isValid() && !startFolder.isEmpty()) {
        dialog.setDirectoryUrl(startFolder);
    }
    // Over the window it belongs to, as a dialog of that window's own would be: placed on it and kept above it.
    bool isNumber = false;
    const WId owner = qEnvironmentVariable(kFileDialogOwnerVariable).toULongLong(&isNumber);
    if (isNumber && owner != 0) {
        dialog.winId();
        if (QWindow* ownerWindow = QWindow::fromWinId(owner)) {
            dialog.windowHandle()->setTransientParent(ownerWindow);
        }
    }
    const QUrl chosen = dialog.exec() == QDialog::Accepted ? dialog.selectedUrls().value(0) : QUrl();
    // The next dialog opens where this one's file was, or where it was left.
    const QUrl folder = chosen.isEmpty() ? dialog.directoryUrl() : chosen.adjusted(QUrl::RemoveFilename);
    const bool written = writeAll(answerDescriptor, chosen.toEncoded() + '\n' + folder.toEncoded() + '\n');
    // Nothing to keep: the dialog's own settings would be saved on the way out, and a stuck settings file must not
    // hold the answer up.
    std::_Exit(written ? 0 : 1);
}
