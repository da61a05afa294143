#pragma once

#include "FileDialog.h"

#include <chrono>
#include <memory>
#include <QStringList>

class QObject;
class QProcess;

// The file dialog, shown by a process of its own. A dialog looks at folders and files on its own thread (Qt's and
// GTK's alike), and one look into a share that stopped answering would freeze the window for good; it freezes
// only that process here. The process tells it is alive many times a second; once it has gone quiet for the limit
// it is killed, and its windows are taken off the screen, from here, since a process stuck in a share may not end
// however it is told to. By default the process is this program, told by its environment to show the dialog and
// nothing else (see FileDialogChild.h).
class ProcessFileDialog final : public FileDialog
{
public:
    // PROGRAM and ARGUMENTS run in place of this program: tests give a script that answers as the dialog would.
    explicit ProcessFileDialog(QString program = {}, QStringList arguments = {},
                               std::chrono::milliseconds limit = std::chrono::seconds(10));
    ~ProcessFileDialog() override;
    ProcessFileDialog(const ProcessFileDialog&) = delete;
    ProcessFileDialog& operator=(const ProcessFileDialog&) = delete;

    // While a dialog is open, brings it to the front instead of opening another.
    void chooseFile(QWidget* owner, const QString& title, Answer answer) override;

private:
    void takeAnswer(QProcess* process);
    void giveUp(QProcess* process);
    void end(QProcess* process);
    void answerWith(const FileChoice& choice);

    QString m_program;
    QStringList m_arguments;
    std::chrono::milliseconds m_limit;
    QProcess* m_open = nullptr;
    // What the open dialog has said, signs of life left out.
    QByteArray m_received;
    Answer m_answer;
    // Where the last dialog was when it closed: the next one opens there, as one dialog shown again would.
    QByteArray m_lastFolder;
    bool m_stalledLastTime = false;
    // While an answer is given: a message box it shows runs its own event loop, in which a queued Browse must open
    // nothing.
    bool m_answering = false;
    // Holds the connections to the application, which ends the open dialog as it quits.
    std::unique_ptr<QObject> m_context;
};
