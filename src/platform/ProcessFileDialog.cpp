#include "ProcessFileDialog.h"

#include "FileDialogChild.h"
#include "ProcessWindows.h"

#include <csignal>
#include <QCoreApplication>
#include <QPointer>
#include <QProcess>
#include <QScopedValueRollback>
#include <QTimer>
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

QString stalledText()
{
    return tr("The file dialog stopped answering for ten seconds and was closed. Something it looked at did not "
              "answer: a folder on a share that stopped answering, a very large folder, or its own settings. "
              "Choose the file in another folder, or drop it on the window.");
}

// Why a dialog's process that ended without both lines gave no answer.
QString failureOf(const QProcess& process)
{
    if (process.error() == QProcess::FailedToStart) {
        return tr("The file dialog could not be shown: %1").arg(process.errorString());
    }
    return tr("The file dialog ended without an answer.");
}

// Its windows first: killed, a process stuck in a share keeps them on the screen.
void endWithWindows(QProcess* process)
{
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    closeWindowsOfProcess(process->processId());
    abandon(process);
}

} // namespace

ProcessFileDialog::ProcessFileDialog(QString program, QStringList arguments, std::chrono::milliseconds limit)
    : m_program(std::move(program)), m_arguments(std::move(arguments)), m_limit(limit),
      m_context(std::make_unique<QObject>())
{
    // Closing the last window quits, and the dialog goes with the window it was shown for, at once: the program
    // may take a while yet to end.
    if (QCoreApplication* application = QCoreApplication::instance()) {
        QObject::connect(application, &QCoreApplication::aboutToQuit, m_context.get(), [this] {
            if (QProcess* process = std::exchange(m_open, nullptr)) {
                m_answer = {};
                endWithWindows(process);
            }
        });
    }
}

ProcessFileDialog::~ProcessFileDialog()
{
    if (m_open) {
        endWithWindows(m_open);
    }
}

void ProcessFileDialog::chooseFile(QWidget* owner, const QString& title, Answer answer)
{
    // One dialog at a time, as with a modal one; it is kept above its window, and brought back when asked again.
    if (m_answering) {
        return;
    }
    if (m_open) {
        if (m_open->state() == QProcess::Running) {
            raiseWindowsOfProcess(m_open->processId());
        }
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
    m_received.clear();
    const QPointer<QWidget> guard(owner);
    m_answer = [guard, answer = std::move(answer)](const FileChoice& choice) {
        if (guard) {
            answer(choice);
        }
    };
    // Started with the process: a dialog that never comes up counts as stuck too.
    auto* limit = new QTimer(process);
    limit->setSingleShot(true);
    limit->setInterval(m_limit);
    QObject::connect(limit, &QTimer::timeout, process, [this, process] { giveUp(process); });
    QObject::connect(process, &QProcess::readyReadStandardOutput, process, [this, process, limit] {
        limit->start();
        takeAnswer(process);
    });
    QObject::connect(process, &QProcess::finished, process, [this, process] { takeAnswer(process); });
    QObject::connect(process, &QProcess::errorOccurred, process, [this, process](QProcess::ProcessError error) {
        // A process that never started sends no finished signal.
        if (error == QProcess::FailedToStart) {
            takeAnswer(process);
        }
    });
    limit->start();
    process->start();
}

// Taken as soon as both lines are in: the process may take its time to go.
void ProcessFileDialog::takeAnswer(QProcess* process)
{
    if (m_open != process) {
        return;
    }
    // Two URLs fit in the first 64 KiB; more is never held.
    m_received += process->readAllStandardOutput().replace(kFileDialogAlive, QByteArray());
    m_received.truncate(1 << 16);
    const qsizetype first = m_received.indexOf('\n');
    const qsizetype second = first < 0 ? -1 : m_received.indexOf('\n', first + 1);
    if (second < 0 && process->state() != QProcess::NotRunning) {
        return;
    }
    FileChoice choice;
    if (second >= 0) {
        choice.chosen = QUrl::fromEncoded(m_received.left(first));
        m_stalledLastTime = false;
        m_lastFolder = m_received.mid(first + 1, second - first - 1);
    } else {
        choice.failure = failureOf(*process);
    }
    end(process);
    answerWith(choice);
}

// Quiet for the whole limit: stuck, or stopped. Its windows go from the screen and it is killed, without a wait.
void ProcessFileDialog::giveUp(QProcess* process)
{
    if (m_open != process) {
        return;
    }
    m_open = nullptr;
    endWithWindows(process);
    // Stuck twice running, the folder it opens in may be what it gets stuck on: the next opens elsewhere.
    if (std::exchange(m_stalledLastTime, true)) {
        m_lastFolder.clear();
    }
    answerWith(FileChoice{QUrl(), stalledText()});
}

void ProcessFileDialog::answerWith(const FileChoice& choice)
{
    const QScopedValueRollback answering(m_answering, true);
    std::exchange(m_answer, {})(choice);
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
