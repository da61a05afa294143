#include "CheckIntake.h"

#include "ChecksumFileNames.h"
#include "ListPipe.h"

bool isChecksumListName(const QByteArray& path)
{
    // Standard input given by name is a list piped or redirected in: nothing can be published beside it.
    if (namesStandardInput(path)) {
        return true;
    }
    return checksumFileName(QByteArrayView(path).sliced(path.lastIndexOf('/') + 1)).has_value();
}

void CheckIntake::take(const QByteArray& path, bool compareWithLoaded)
{
    if (compareWithLoaded && this->compareWithLoaded(path)) {
        return;
    }
    if (isChecksumListName(path)) {
        takeList(path);
    } else {
        takeDataFile(path);
    }
}

void CheckIntake::takeList(const QByteArray& listPath)
{
    m_dataFile.clear();
    m_session.checkList(listPath);
}

void CheckIntake::takeDataFile(const QByteArray& path)
{
    m_dataFile = path;
    m_session.checkFile(path);
}

bool CheckIntake::compareWithLoaded(const QByteArray& second)
{
    if (m_dataFile.isEmpty()) {
        return false;
    }
    m_session.compare(m_dataFile, second);
    return true;
}

void CheckIntake::compare(const QByteArray& first, const QByteArray& second)
{
    m_dataFile = first;
    m_session.compare(first, second);
}

void CheckIntake::takeSeveral(const QList<QByteArray>& paths)
{
    QList<QByteArray> lists;
    QList<QByteArray> dataFiles;
    for (const QByteArray& path : paths) {
        (isChecksumListName(path) ? lists : dataFiles).append(path);
    }
    // A checksum file given with the file it is for is what to check that file against: comparing the two byte for
    // byte would call a good download different.
    if (dataFiles.size() <= 1 && !lists.isEmpty()) {
        takeList(lists.front());
    } else if (dataFiles.size() == 2 && lists.isEmpty()) {
        compare(dataFiles[0], dataFiles[1]);
    } else {
        m_dataFile.clear();
        m_session.checkFiles(dataFiles); // the checksum files among them are found beside the others
    }
}

void CheckIntake::takeDropped(const QList<QByteArray>& paths, bool compareWithLoaded)
{
    if (paths.size() == 1) {
        take(paths.front(), compareWithLoaded);
    } else if (paths.size() > 1) {
        takeSeveral(paths);
    }
}

void takeArguments(CheckIntake& intake, const QList<QByteArray>& files)
{
    if (files.size() == 1) {
        intake.take(files[0]);
    } else if (files.size() > 1) {
        intake.takeSeveral(files);
    }
}
