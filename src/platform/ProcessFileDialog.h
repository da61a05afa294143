#pragma once

#include "FileDialog.h"

#include <QStringList>

class QProcess;

// The file dialog, shown by a process of its own. A dialog looks at folders and files on its own thread (Qt's and
// GTK's alike), and one look into a share that stopped answering would freeze the window for good; it freezes
// only that process here, which ends when it stops answering, and with the window. By default the process is this
// program, told by its environment to show the dialog and nothing else (see FileDialogChild.h).
class ProcessFileDialog final : public FileDialog
{
public:
    // PROGRAM and ARGUMENTS run in place of this program: tests give a script that answers as the dialog would.
    explicit ProcessFileDialog(QString program = {}, QStringList arguments = {});
    ~ProcessFileDialog() override;
    ProcessFileDialog(const ProcessFileDialog&) = delete;
    ProcessFileDialog& operator=(const ProcessFileDialog&) = delete;

    void chooseFile(QWidget* owner, const QString& title, Answer answer) override;

private:
    void end(QProcess* process);

    QString m_program;
    QStringList m_arguments;
    QProcess* m_open = nullptr;
    // Where the last dialog was when it closed: the next one opens there, as one dialog shown again would.
    QByteArray m_lastFolder;
    bool m_stalledLastTime = false;
};
