#include "FileDialogChild.h"

#include <cerrno>
#include <QApplication>
#include <QFileDialog>
#include <unistd.h>

bool isFileDialogChild()
{
    return qEnvironmentVariableIsSet(kFileDialogTitleVariable);
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

    // No folder, name or filter of ours: every file is listed, starting where the dialog itself sees fit. Qt's
    // static call uses the desktop's own dialog where the platform theme provides one; local files only.
    const QUrl chosen = QFileDialog::getOpenFileUrl(nullptr, qEnvironmentVariable(kFileDialogTitleVariable), QUrl(),
                                                    QString(), nullptr, {}, {QStringLiteral("file")});
    const QByteArray line = chosen.toEncoded() + '\n';
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t written =
            ::write(answerDescriptor, line.constData() + done, static_cast<size_t>(line.size() - done));
        if (written < 0 && errno != EINTR) {
            return 1;
        }
        done += written > 0 ? written : 0;
    }
    return 0;
}
