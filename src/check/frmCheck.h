#pragma once

#include "CheckIntake.h"
#include "CheckModel.h"
#include "CheckSession.h"
#include "ReportCopy.h"
#include "ThemeIcons.h"

#include <functional>
#include <memory>
#include <QWidget>

class Clipboard;
class FileDialog;
class QLabel;

namespace Ui {
class frmCheck;
}

// The check window: the results of a check and the controls that start one. Files given by the buttons or dropped
// anywhere on it go to the intake; it shows what the session finds and holds no logic of its own.
class frmCheck : public QWidget
{
    Q_OBJECT

public:
    frmCheck(FileDialog& fileDialog, Clipboard& clipboard, CheckSessionOptions options = {}, QWidget* parent = nullptr);
    ~frmCheck() override;

    CheckSession& session() { return m_session; }
    CheckIntake& intake() { return m_intake; }
    const CheckModel& model() const { return m_model; }

    // A file dropped or chosen, as text carrying its name's bytes; a list, a data file or the second to compare.
    void takeFile(const QString& path);
    // Files dropped together, as takeDropped() takes them.
    void takeFiles(const QStringList& paths);

protected:
    // Closing ends the program at once, also in the middle of a read.
    void closeEvent(QCloseEvent* event) override;

private:
    void openList();
    void chooseFile();
    void chooseSecond();
    void pasteDigest();
    void pasteEdited(const QString& text);
    void copyResults();
    void copySelectedRows();
    // The path the dialog answered, or nothing (a cancel, or a name it could not give exactly: said in the status).
    // Shows the file dialog; TAKE gets the chosen file's bytes once it has closed, unless it gave none.
    void choose(const QString& title, std::function<void(const QByteArray& path)> take);
    void showProgress();
    void showProblems();
    void showState();
    void announce(const QString& text);
    static void showText(QLabel* label, const QString& text);

    std::unique_ptr<Ui::frmCheck> m_ui;
    FileDialog& m_fileDialog;
    Clipboard& m_clipboard;
    CheckModel m_model;
    ThemeIcons m_icons;
    CheckSession m_session; // after the model: destroyed first, abandoning its worker before the rows go
    CheckIntake m_intake{m_session};
    ReportCopy m_reportCopy{m_model}; // Copy Results, written between the window's events
    QString m_pasteText;              // the paste field's text before its latest edit
};
