#include "ProcessFileDialog.h"

#include "FileDialogChild.h"

#include <csignal>
#include <QCoreApplication>
#include <QPointer>
#include <QProcess>
#include <QWidget>
#include <set>
#include <sys/prctl.h>
#include <unistd.h>
#include <utility>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ProcessFileDialog", text);
}

// Processes killed and not yet gone; some may be stuck for good in a share that stopped answering. QProcess's
// destructor would wait for them: each is deleted once it has ended, and kept reachable here until then.
std::set<QProcess*>& abandonedProcesses()
{
    static auto* const processes = new std::set<QProcess*>; // never destroyed, for the processes that never end
    return *processes;
}

void abandon(QProcess* process)
{
    process->disconnect();
    abandonedProcesses().insert(process);
    QObject::connect(process, &QProcess::finished, process, [process] {
        abandonedProcesses().erase(process);
        process->deleteLater();
    });
    process->kill();
}

// Why a dialog's process that ended without both lines gave no answer.
QString failureOf(const QProcess& process)
{
    if (process.error() == QProcess::FailedToStart) {
        return tr("The file dialog could not be shown: %1").arg(process.errorString());
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == kFileDialogStalledStatus) {
        return tr("The file dialog stopped answering for ten seconds and was closed. Something it looked at did not "
                  "answer: a folder on a share that stopped answering, a very large folder, or its own settings. "
                  "Choose the file in another folder, or drop it on the window.");
    }
    return tr("The file dialog ended without an answer.");
}

} // namespace

ProcessFileDialog::ProcessFileDialog(QString program, QStringList arguments)
    : m_program(std::move(program)), m_arguments(std::move(arguments))
{}

ProcessFileDialog::~ProcessFileDialog()
{
    if (m_open) {
        abandon(m_open);
    }
}

void ProcessFileDialog::chooseFile(QWidget* owner, const QString& title, Answer answer)
{
    // One dialog at a time, as with a modal one; it is kept above its window.
    if (m_open) {
        return;
    }
    auto* process = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kFileDialogTitleVariable), title);
    environment.insert(QString::fromLatin1(kFileDialogFolderVariable), QString::fromLatin1(m_lastFolder));
    if (owner) {
        environment.insert(QString::fromLatin1(kFileDialogOwnerVariable), QString::number(owner->window()->winId()));
    }
    process->setProcessEnvironment(environment);
    // This very program, even once its file has been replaced or removed.
    process->setProgram(m_program.isEmpty() ? QStringLiteral("/proc/self/exe") : m_program);
    process->setArguments(m_arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The dialog goes when this program goes, however it ends.
    const pid_t parent = ::getpid();
    process->setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(1);
        }
    });
    m_open = process;
    const QPointer<QWidget> guard(owner);
    // Taken as soon as both lines are in: the process may take its time to go.
    const auto takeAnswer = [this, process, guard, answer] {
        if (process->property("answered").toBool()) {
            return;
        }
        const QByteArray output = process->peek(1 << 16);
        const qsizetype first = output.indexOf('\n');
        const qsizetype second = first < 0 ? -1 : output.indexOf('\n', first + 1);
        const bool ended = process->state() == QProcess::NotRunning;
        if (second < 0 && !ended) {
            return;
        }
        process->setProperty("answered", true);
        FileChoice choice;
        if (second >= 0) {
            choice.chosen = QUrl::fromEncoded(output.left(first));
            m_stalledLastTime = false;
            m_lastFolder = output.mid(first + 1, second - first - 1);
        } else {
            choice.failure = failureOf(*process);
            // Stuck twice running, the folder it opens in may be what it gets stuck on: the next opens elsewhere.
            if (process->exitCode() == kFileDialogStalledStatus && std::exchange(m_stalledLastTime, true)) {
                m_lastFolder.clear();
            }
        }
        end(process);
        if (guard) {
            answer(choice);
        }
    };
    QObject::connect(process, &QProcess::readyReadStandardOutput, process, takeAnswer);
    QObject::connect(process, &QProcess::finished, process, takeAnswer);
    QObject::connect(process, &QProcess::errorOccurred, process, [takeAnswer](QProcess::ProcessError error) {
        // A process that never started sends no finished signal.
        if (error == QProcess::FailedToStart) {
            takeAnswer();
        }
    });
    process->start();
}

void ProcessFileDialog::end(QProcess* process)
{
    if (m_open == process) {
        m_open = nullptr;
    }
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
    } else {
        abandon(process); // it has answered, and has no more to say
    }
}
