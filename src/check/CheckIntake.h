#pragma once

#include "CheckSession.h"

#include <optional>
#include <QByteArray>
#include <QString>
#include <QStringList>

// Whether a file is taken as a checksum list, by its name alone: the window's thread never opens or looks at a file.
// Names of the forms looked for beside a data file ("x.sha256", "x.sfv", "SHA256SUMS", "CHECKSUM") and any "*SUMS".
bool isChecksumListName(const QByteArray& path);

// What the window does with a file given to it, by the command line, a drop or a button: a list is checked, another
// file is checked against the digests published beside it, or compared with the data file already loaded.
class CheckIntake
{
public:
    explicit CheckIntake(CheckSession& session) : m_session(session) {}

    // compareWithLoaded: the user asked that the next file be compared with the loaded data file.
    void take(const QByteArray& path, bool compareWithLoaded = false);
    void takeList(const QByteArray& listPath);
    void takeDataFile(const QByteArray& path);
    // Compares with the data file loaded; false when there is none.
    bool compareWithLoaded(const QByteArray& second);
    void compare(const QByteArray& first, const QByteArray& second);

    // The data file given alone or first of a comparison; empty when a list is being checked or nothing was given.
    const QByteArray& dataFile() const { return m_dataFile; }

private:
    CheckSession& m_session;
    QByteArray m_dataFile;
};

// The window's command line: "[FILE [SECOND]]", --help, --version.
struct CheckArguments
{
    QList<QByteArray> files;
    bool help = false;
    bool version = false;
    QString error;    // set when the line cannot be used
    QString helpText; // for --help and with an error
};
CheckArguments parseCheckArguments(const QStringList& arguments);
// Starts what the files given ask for: nothing, a list or data file, or a comparison.
void takeArguments(CheckIntake& intake, const QList<QByteArray>& files);

// "12.5 MiB of 100 MiB, 40.2 MiB/s, 3 s left"; the parts not yet known are left out.
QString progressText(const CheckProgress& progress);
// Progress in thousandths of all the bytes, for a bar; -1 while the total is unknown.
int progressPermille(const CheckProgress& progress);
// The answer shown beside the paste field.
QString pasteAnswerText(CheckSession::PasteResult result);
// "Published digests found in: a.sha256, SHA256SUMS", or for a comparison whether the files are identical.
QString foundText(const CheckSession& session);
