#include "ProcessFileDialog.h"

#include "FileDialogChild.h"

#include <csignal>
#include <QCoreApplication>
#include <QPointer>
#include <QProcess>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>

namespace {

// A process that may be stuck for good in a share that stopped answering. QProcess's destructor would wait for it,
// so it is killed and left here, reachable, until this program ends.
void abandon(QProcess* process)
{
    static std::vector<QProcess*> abandoned;
    process->disconnect();
    process->kill();
    abandoned.push_back(process);
}

// The first line the dialog's process wrote; the empty URL when it wrote none (a cancel, or a crash).
QUrl answerFrom(QProcess& process)
{
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return {};
    }
    const QByteArray output = process.readAllStandardOutput();
    const qsizetype end = output.indexOf('\n');
    return end < 0 ? QUrl() : QUrl::fromEncoded(output.left(end));
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

void ProcessFileDialog::chooseFile(QObject* context, const QString& title, Answer answer)
{
    // One dialog at a time, as with a modal one.
    if (m_open) {
        return;
    }
    auto* process = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kFileDialogTitleVariable), title);
    process->setProcessEnvironment(environment);
    process->setProgram(m_program.isEmpty() ? QCoreApplication::applicationFilePath() : m_program);
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
    QPointer<QObject> guard(context);
    QObject::connect(process, &QProcess::finished, process, [this, process, guard, answer] {
        ended(process);
        if (guard) {
            answer(answerFrom(*process));
        }
    });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [this, process, guard, answer](QProcess::ProcessError error) {
                         // A process that never started sends no finished signal.
                         if (error == QProcess::FailedToStart) {
                             ended(process);
                             if (guard) {
                                 answer(QUrl());
                             }
                         }
                     });
    process->start();
}

void ProcessFileDialog::ended(QProcess* process)
{
    if (m_open == process) {
        m_open = nullptr;
    }
    process->deleteLater();
}
