#include "CheckIntake.h"

#include "ChecksumFileNames.h"

bool isChecksumListName(const QByteArray& path)
{
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

void CheckIntake::takeDropped(const QList<QByteArray>& paths, bool compareWithLoaded)
{
    if (paths.size() == 1) {
        take(paths.front(), compareWithLoaded);
    } else if (paths.size() == 2) {
        compare(paths[0], paths[1]);
    } else if (paths.size() > 2) {
        m_dataFile.clear();
        m_session.checkFiles(paths);
    }
}

void takeArguments(CheckIntake& intake, const QList<QByteArray>& files)
{
    if (files.size() == 1) {
        intake.take(files[0]);
    } else if (files.size() == 2) {
        intake.compare(files[0], files[1]);
    }
}
