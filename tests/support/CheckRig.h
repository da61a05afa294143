#pragma once

#include "CheckSession.h"
#include "GatedReader.h"
#include "TempFiles.h"

#include <atomic>
#include <cerrno>
#include <memory>
#include <QCryptographicHash>
#include <QDir>
#include <QSignalSpy>
#include <QTest>

// A session over a model, its files opened through a seam that counts the opens, hangs reads of names holding
// "gated" until the test opens the gate, and refuses names holding "locked" as the system refuses someone else's
// file (root reads anything, so chmod alone would prove nothing there), and names holding "written" as a file that
// another program has open for writing.
struct CheckRig
{
    explicit CheckRig(std::function<void(OpenedFile&, const QByteArray&)> meddle = {})
    {
        CheckSessionOptions options;
        options.updateIntervalMs = 20;
        options.batch.workers = 2;
        options.batch.opener = [opens = opens, gate = gate, meddle](const QByteArray& path) {
            opens->fetch_add(1);
            if (path.contains("locked")) {
                return OpenedFile{nullptr, qt_error_string(EACCES), EACCES, true};
            }
            if (path.contains("written")) {
                return OpenedFile{nullptr, QStringLiteral("Another program has the file open for writing."), 0, true,
                                  true};
            }
            OpenedFile opened = RegularFile::open(path);
            if (opened.reader && path.contains("gated")) {
                opened.reader = std::make_unique<GatedReader>(std::move(opened.reader), gate);
            }
            if (opened.reader && meddle) {
                meddle(opened, path);
            }
            return opened;
        };
        session = std::make_unique<CheckSession>(model, options);
        finished = std::make_unique<QSignalSpy>(session.get(), &CheckSession::finished);
    }
    ~CheckRig()
    {
        session.reset();
        gate->open(); // let abandoned workers end
    }

    bool waitFinished(int count = 1, int timeout = 30'000)
    {
        return QTest::qWaitFor([&] { return finished->count() >= count; }, timeout);
    }
    CheckState state(qsizetype row) const { return model.row(row).state; }

    std::shared_ptr<std::atomic<int>> opens = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    CheckModel model;
    std::unique_ptr<CheckSession> session;
    std::unique_ptr<QSignalSpy> finished;
};

inline QByteArray hexOf(const QByteArray& data, QCryptographicHash::Algorithm algorithm)
{
    return QCryptographicHash::hash(data, algorithm).toHex();
}

inline QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}
