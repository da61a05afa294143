// A long working session through the window: a thousand analyses in a row, a third of them superseded while they
// run, hostile paths dropped among them. Nothing may pile up: descriptors, threads or memory.

#include "Drops.h"
#include "TempFiles.h"
#include "WindowRig.h"

#include <malloc.h>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Resources
{
    qsizetype descriptors = 0;
    qsizetype threads = 0;
    qint64 residentKiB = 0;
};

Resources measure()
{
    Resources now;
    now.descriptors = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
    now.threads = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        const QRegularExpressionMatch resident =
            QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+) kB")).match(QString::fromLatin1(status.readAll()));
        now.residentKiB = resident.captured(1).toLongLong();
    }
    return now;
}

} // namespace

class TestLongRun : public QObject
{
    Q_OBJECT

private slots:
    void thousandAnalysesLeaveNothingBehind();

private:
    // Waits until no worker is left and deferred deletions are done: a resting window. The C library keeps what
    // ended threads freed in their arenas for reuse; it is handed back first, so that what stays is what is held.
    static void settle()
    {
        QTRY_VERIFY_WITH_TIMEOUT(DigestRun::liveWorkers() == 0, 30'000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        ::malloc_trim(0);
    }

    static bool waitUntilIdle(const AnalysisSession& session)
    {
        for (QDeadlineTimer deadline(10'000); session.isRunning();) {
            if (deadline.hasExpired()) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        return true;
    }

    TempFiles m_files;
};

void TestLongRun::thousandAnalysesLeaveNothingBehind()
{
    QStringList regular;
    for (int size : {0, 1, 4095, 4096, 65'537, 1'000'003}) {
        regular.append(m_files.write(QStringLiteral("file %1.bin").arg(size), TempFiles::randomBytes(size, size)));
    }
    const QString fifo = m_files.path(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString dangling = m_files.path(QStringLiteral("dangling"));
    QVERIFY(QFile::link(m_files.path(QStringLiteral("nothing here")), dangling));
    const QString loop = m_files.path(QStringLiteral("loop"));
    QVERIFY(QFile::link(loop, loop));
    const QStringList hostile{fifo,
                              dangling,
                              loop,
                              m_files.path(QString()),
                              QStringLiteral("/dev/zero"),
                              QStringLiteral("/proc/version"),
                              m_files.path(QStringLiteral("missing"))};

    WindowRig rig;
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    AnalysisSession& session = rig.window.session();
    // The first analyses load what stays loaded (the crypto library's tables, locale data, fonts).
    for (const QString& file : regular) {
        session.TakeInputPath(file);
        QVERIFY(waitUntilIdle(session));
    }
    settle();
    const Resources before = measure();

    int superseded = 0;
    int dropped = 0;
    // Every hostile path but /proc/version is refused with a message, unless new input supersedes it before its facts
    // are in: nothing of an abandoned analysis reaches the user.
    int refusals = 0;
    int supersededRefusals = 0;
    for (int i = 0; i < 1000; ++i) {
        if (i % 7 == 3) {
            const QString path = hostile[(i / 7) % hostile.size()];
            QVERIFY(dropOn(&rig.window, filesData({path})));
            ++dropped;
            (i % 3 == 0 ? supersededRefusals : refusals) += path.startsWith(QLatin1String("/proc/")) ? 0 : 1;
        } else {
            session.TakeInputPath(regular[i % regular.size()]);
        }
        QCoreApplication::processEvents();
        if (i % 3 == 0) {
            ++superseded; // the next one comes while this one may still run
            continue;
        }
        QVERIFY(waitUntilIdle(session));
    }
    QVERIFY(waitUntilIdle(session));
    settle();
    const Resources after = measure();

    qInfo("1000 analyses (%d superseded in flight, %d hostile drops): descriptors %lld -> %lld, threads %lld -> %lld, "
          "resident %lld KiB -> %lld KiB",
          superseded, dropped, static_cast<long long>(before.descriptors), static_cast<long long>(after.descriptors),
          static_cast<long long>(before.threads), static_cast<long long>(after.threads),
          static_cast<long long>(before.residentKiB), static_cast<long long>(after.residentKiB));
    QCOMPARE(after.descriptors, before.descriptors);
    QVERIFY(after.threads <= before.threads);
#ifndef __SANITIZE_ADDRESS__ // AddressSanitizer holds freed memory back on purpose; its leak check covers this there
    // Threads superseded while they run leave the allocator some fragments (measured: 1 to 7 MiB, the same after
    // 1000 analyses as after 6000; none without supersession); a leak of 16 KiB an analysis, a read buffer say,
    // goes past this.
    QVERIFY2(after.residentKiB - before.residentKiB < 16 * 1024, "resident memory grew by more than 16 MiB");
#endif

    // The window still tells the truth about the last file.
    const QString last = regular[999 % regular.size()];
    QFile lastFile(last);
    QVERIFY(lastFile.open(QIODevice::ReadOnly));
    const QByteArray expected = QCryptographicHash::hash(lastFile.readAll(), QCryptographicHash::Sha256).toHex();
    QCOMPARE(rig.window.findChild<QLineEdit*>(QStringLiteral("txtSha256"))->text(), QString::fromLatin1(expected));
    QVERIFY(rig.messages.texts.size() >= refusals);
    QVERIFY(rig.messages.texts.size() <= refusals + supersededRefusals);
}

QTEST_MAIN(TestLongRun)
#include "TestLongRun.moc"
