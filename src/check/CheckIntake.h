#pragma once

#include "CheckSession.h"

#include <QByteArray>
#include <QList>

// Whether a file is taken as a checksum list, by its name alone: the window's thread never opens or looks at a file.
// Names of the forms looked for beside a data file, in any case ("x.sha256", "X.SFV", "sha256sums",
// "SHA256SUMS.txt", "Fedora-39-CHECKSUM") and any "*SUMS": see checksumFileName; and standard input ("/dev/stdin").
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
    // Two files or more: two data files are compared; a checksum file among them is what the other is checked
    // against; more are each checked against what is published beside it.
    void takeSeveral(const QList<QByteArray>& paths);
    // Files dropped together: one is taken as take() takes it, two are compared, more are each checked against the
    // digests published beside it.
    void takeDropped(const QList<QByteArray>& paths, bool compareWithLoaded = false);

    // The data file given alone or first of a comparison; empty when a list is being checked or nothing was given.
    const QByteArray& dataFile() const { return m_dataFile; }

private:
    CheckSession& m_session;
    QByteArray m_dataFile;
};

// Starts what the files given ask for: nothing, a list or data file, or a comparison.
void takeArguments(CheckIntake& intake, const QList<QByteArray>& files);
