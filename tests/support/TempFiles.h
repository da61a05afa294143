#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>
#include <QTemporaryDir>

// Files for tests, made in a temporary folder that lives as long as the fixture.
class TempFiles
{
public:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QString write(const QString& name, const QByteArray& content) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
            qFatal("cannot write test file %s", qPrintable(path(name)));
        }
        return file.fileName();
    }

    // A sparse file: size bytes of zeros that take no disk space, with a marker at the end so it is not all zeros.
    QString writeSparse(const QString& name, qint64 size, const QByteArray& tail = {}) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || !file.resize(size - tail.size()) || !file.seek(size - tail.size()) ||
            file.write(tail) != tail.size()) {
            qFatal("cannot make sparse file %s", qPrintable(path(name)));
        }
        return file.fileName();
    }

    static QByteArray randomBytes(qsizetype size, quint32 seed)
    {
        QRandomGenerator generator(seed);
        QByteArray bytes(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i) {
            bytes[i] = static_cast<char>(generator.generate() & 0xffu);
        }
        return bytes;
    }

private:
    QTemporaryDir m_dir;
};

// Runs a command-line tool and returns the first word of its output: the digest of coreutils and rhash.
inline QString firstWordOf(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(600'000) || process.exitCode() != 0) {
        return QStringLiteral("<%1 failed>").arg(program);
    }
    return QString::fromLatin1(process.readAllStandardOutput()).section(u' ', 0, 0).trimmed().toLower();
}
