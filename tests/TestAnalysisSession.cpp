#include "AnalysisSession.h"
#include "DigestEngine.h"
#include "DigestRun.h"
#include "GatedReader.h"
#include "HangingFacts.h"
#include "HoldableDigests.h"
#include "RecordingView.h"
#include "TempFiles.h"

#include <cstring>
#include <fcntl.h>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(ResultRow)
Q_DECLARE_METATYPE(PathFacts)

namespace {

using Change = QPair<ResultRow, QString>;
const QString kWaiting = QStringLiteral("Waiting ...");
const QString kCalculating = QStringLiteral("Calculating ...");
const std::array<ResultRow, 4> kDigestRows{ResultRow::Crc32, ResultRow::Md5, ResultRow::Sha1, ResultRow::Sha256};

QList<Change> digestRowChanges(const QList<Change>& changes)
{
    QList<Change> result;
    for (const Change& change : changes) {
        if (std::find(kDigestRows.begin(), kDigestRows.end(), change.first) != kDigestRows.end()) {
            result.append(change);
        }
    }
    return result;
}

// A session over a digest service the test releases by hand and a view that records every change.
struct Rig
{
    std::shared_ptr<HoldableDigests> held = std::make_shared<HoldableDigests>();
    HoldableDigests& digests = *held;
    RecordingView view;
    AnalysisSession session{held, view};
};

QString digestOf(const QString& tool, const QString& file)
{
    return tool == QStringLiteral("rhash") ? firstWordOf("rhash", {"--printf=%c", file}) : firstWordOf(tool, {file});
}

} // namespace

class TestAnalysisSession : public QObject
{
    Q_OBJECT

private slots:
    void digestRowsPassThroughEveryStateInOrder();
    void refusalsShowTheirMessageAndLeaveRowsEmpty_data();
    void refusalsShowTheirMessageAndLeaveRowsEmpty();
    void newInputSupersedesARunningAnalysis();
    void newInputDuringAnalysisOfARefusedPathShowsNoDigests();
    void readFailureEmptiesPendingRowsAndNamesThePath();
    void unavailableDigestsLeaveTheirRowsEmptyAndTheOthersGoOn();
    void messageNamesTheFileAnalysedEvenAfterAnEmptyIntake();
    void stopCancelsTheWorkerAndFreezesTheRows();
    void realEngineFillsEveryRow();
    void sizeRowOwnsUpToBytesTheFileSystemDidNotCount();
    void intakeTakesThePathAsGiven_data();
    void intakeTakesThePathAsGiven();
    void startUpAnalysesOnlyTheFirstArgument();
    void supersededReadThatHangsIsNeverWaitedFor();
    void changeBetweenFactsAndDigestsFails();
    void threadThatCannotStartFailsTheAnalysis();
    void nameThatIsNotUtf8IsThatFile();
    void windowThreadAnswersWhileFactsHang();
    void abandonedFactsReachNothing_data();
    void abandonedFactsReachNothing();

private:
    TempFiles m_files;
};

void TestAnalysisSession::digestRowsPassThroughEveryStateInOrder()
{
    const QString file = m_files.write(QStringLiteral("states.txt"), "hello");
    Rig rig;
    auto& [held, digests, view, session] = rig;
    view.fillAll(QStringLiteral("old"));
    view.tickAll();
    session.TakeInputPath(file);

    // Before any digest: facts in, ticks cleared, CRC-32 working and the rest waiting.
    QTRY_COMPARE(view.row(ResultRow::FileName), QStringLiteral("states.txt"));
    QCOMPARE(view.row(ResultRow::FilePath), file);
    QCOMPARE(view.row(ResultRow::FileSize), QStringLiteral("5"));
    QVERIFY(!view.row(ResultRow::LastModified).isEmpty());
    QVERIFY(!view.anyTicked());
    QCOMPARE(view.row(ResultRow::Crc32), kCalculating);
    QCOMPARE(view.row(ResultRow::Md5), kWaiting);

    for (std::size_t i = 0; i < kDigestRows.size(); ++i) {
        digests.release();
        QTRY_COMPARE(view.row(kDigestRows[i]), HoldableDigests::fakeDigest(kDigestOrder[i], file));
    }
    QTRY_VERIFY(!session.isRunning());

    QList<Change> expected;
    for (ResultRow row : kDigestRows) {
        expected.append({row, QString()});
    }
    for (ResultRow row : kDigestRows) {
        expected.append({row, kWaiting});
    }
    for (std::size_t i = 0; i < kDigestRows.size(); ++i) {
        expected.append({kDigestRows[i], kCalculating});
        expected.append({kDigestRows[i], HoldableDigests::fakeDigest(kDigestOrder[i], file)});
    }
    QCOMPARE(digestRowChanges(view.changes()), expected);
    QCOMPARE(digests.calls().size(), 4);
    QCOMPARE(digests.lastReserved(), -1);
    QVERIFY(view.messages().isEmpty());
}

void TestAnalysisSession::refusalsShowTheirMessageAndLeaveRowsEmpty_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");

    const QString folder = m_files.path(QStringLiteral("a folder"));
    QDir().mkpath(folder);
    QTest::newRow("folder") << folder
                            << "Folder selection detected. Analysing a folder is not available; please choose a file.";
    const QString missing = m_files.path(QStringLiteral("missing.txt"));
    QTest::newRow("nothing there") << missing << "Invalid file path: " + missing;
    const QString fifo = m_files.path(QStringLiteral("fifo"));
    ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
    QTest::newRow("fifo is not a file") << fifo
                                        << "Invalid file path: " + fifo +
                                               "\n\nIt is a named pipe (FIFO), not a regular file.";
    QTest::newRow("device is not a file") << "/dev/null"
                                          << "Invalid file path: /dev/null\n\nIt is a device, not a regular file.";
    const QString loop = m_files.path(QStringLiteral("loop"));
    QFile::link(loop, loop);
    QTest::newRow("link loop") << loop << "Invalid file path: " + loop + "\n\nToo many levels of symbolic links";
    const QString dangling = m_files.path(QStringLiteral("dangling"));
    QFile::link(missing, dangling);
    QTest::newRow("dangling link names nothing") << dangling << "Invalid file path: " + dangling;
    const QString plain = m_files.write(QStringLiteral("plain"), "p");
    QTest::newRow("a file as a folder names nothing") << plain + "/inside"
                                                      << "Invalid file path: " + plain + "/inside";
    // Kept, not trimmed, and shown so that it can be seen.
    QTest::newRow("tab kept in path") << "\t" + missing << "Invalid file path: \\x09" + missing;
}

void TestAnalysisSession::refusalsShowTheirMessageAndLeaveRowsEmpty()
{
    QFETCH(QString, path);
    QFETCH(QString, message);
    Rig rig;
    auto& [held, digests, view, session] = rig;
    view.fillAll(QStringLiteral("earlier file"));
    view.tickAll();
    QSignalSpy finished(&session, &AnalysisSession::finished);
    session.TakeInputPath(path);
    QTRY_COMPARE(view.messages(), QStringList{message});
    QCOMPARE(finished.size(), 1);
    QVERIFY(view.allRowsEmpty());
    QVERIFY(!view.anyTicked());
    QVERIFY(!session.isRunning());
    QVERIFY(digests.calls().isEmpty());
    QCOMPARE(session.currentPath(), path);
    QCOMPARE(session.argList(), QStringList{path});
}

void TestAnalysisSession::newInputSupersedesARunningAnalysis()
{
    const QString first = m_files.write(QStringLiteral("first"), "1");
    const QString second = m_files.write(QStringLiteral("second"), "22");
    Rig rig;
    auto& [held, digests, view, session] = rig;
    session.TakeInputPath(first);
    digests.release(); // the first file's CRC-32 arrives ...
    QTRY_COMPARE(view.row(ResultRow::Crc32), HoldableDigests::fakeDigest(DigestKind::Crc32, first));
    QTRY_COMPARE(digests.calls().size(), 2); // ... and its MD5 is being computed when new input comes
    view.forgetChanges();

    session.TakeInputPath(second);
    QTRY_COMPARE(digests.cancelledCalls(), 1); // the abandoned worker stops at its next check
    QTRY_COMPARE(view.row(ResultRow::FileSize), QStringLiteral("2"));
    digests.release(4);
    QTRY_COMPARE(view.row(ResultRow::Sha256), HoldableDigests::fakeDigest(DigestKind::Sha256, second));
    for (const Change& change : view.changes()) {
        QVERIFY2(!change.second.endsWith(first), qPrintable(change.second));
    }
}

void TestAnalysisSession::newInputDuringAnalysisOfARefusedPathShowsNoDigests()
{
    const QString file = m_files.write(QStringLiteral("before-refusal"), "x");
    Rig rig;
    auto& [held, digests, view, session] = rig;
    session.TakeInputPath(file);
    session.TakeInputPath(m_files.path(QStringLiteral("nothing")));
    digests.release(8);
    QTest::qWait(50);
    QVERIFY(view.allRowsEmpty());
    QCOMPARE(view.messages().size(), 1);
}

void TestAnalysisSession::readFailureEmptiesPendingRowsAndNamesThePath()
{
    const QString file = m_files.write(QStringLiteral("failing"), "x");
    Rig rig;
    auto& [held, digests, view, session] = rig;
    digests.failAt(DigestKind::Md5, QStringLiteral("Input/output error"));
    QSignalSpy finished(&session, &AnalysisSession::finished);
    session.TakeInputPath(file);
    digests.release(4);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(view.row(ResultRow::Crc32), HoldableDigests::fakeDigest(DigestKind::Crc32, file));
    for (ResultRow row : {ResultRow::Md5, ResultRow::Sha1, ResultRow::Sha256}) {
        QCOMPARE(view.row(row), QString());
    }
    QCOMPARE(view.messages(), QStringList{"Cannot read the file " + file + "\n\nInput/output error"});
    QCOMPARE(view.row(ResultRow::FileName), QStringLiteral("failing"));
    QVERIFY(!session.isRunning());
}

void TestAnalysisSession::unavailableDigestsLeaveTheirRowsEmptyAndTheOthersGoOn()
{
    const QString file = m_files.write(QStringLiteral("fips host"), "x");
    Rig rig;
    auto& [held, digests, view, session] = rig;
    digests.unavailableAt(DigestKind::Md5, QStringLiteral("MD5 is refused here."));
    digests.unavailableAt(DigestKind::Sha256, QStringLiteral("SHA-256 is refused here."));
    QSignalSpy finished(&session, &AnalysisSession::finished);
    session.TakeInputPath(file);
    digests.release(4);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(view.row(ResultRow::Crc32), HoldableDigests::fakeDigest(DigestKind::Crc32, file));
    QCOMPARE(view.row(ResultRow::Md5), QString());
    QCOMPARE(view.row(ResultRow::Sha1), HoldableDigests::fakeDigest(DigestKind::Sha1, file));
    QCOMPARE(view.row(ResultRow::Sha256), QString());
    // One message, after the last row, naming both.
    QCOMPARE(view.messages(), QStringList{"Not every digest of " + file +
                                          " can be computed on this system.\n\nMD5 is refused here.\nSHA-256 is "
                                          "refused here."});
    QVERIFY(!session.isRunning());
}

// A cancelled Browse empties CurrentPath while the analysis goes on; its message must still name its file.
void TestAnalysisSession::messageNamesTheFileAnalysedEvenAfterAnEmptyIntake()
{
    const QString file = m_files.write(QStringLiteral("still analysed"), "x");
    Rig rig;
    auto& [held, digests, view, session] = rig;
    digests.failAt(DigestKind::Sha1, QStringLiteral("Input/output error"));
    QSignalSpy finished(&session, &AnalysisSession::finished);
    session.TakeInputPath(file);
    session.TakeInputPath(QString());
    QCOMPARE(session.currentPath(), QString());
    digests.release(4);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(view.messages(), QStringList{"Cannot read the file " + file + "\n\nInput/output error"});
}

void TestAnalysisSession::stopCancelsTheWorkerAndFreezesTheRows()
{
    const QString file = m_files.write(QStringLiteral("stopped"), "x");
    Rig rig;
    auto& [held, digests, view, session] = rig;
    session.TakeInputPath(file);
    QTRY_VERIFY(!session.isReadingFacts());
    session.stop();
    QTRY_COMPARE(digests.cancelledCalls(), 1); // the abandoned worker stops at its next check
    view.forgetChanges();
    digests.release(4);
    QTest::qWait(50);
    QVERIFY(view.changes().isEmpty());
    QCOMPARE(view.row(ResultRow::Crc32), kCalculating);
    QCOMPARE(view.row(ResultRow::Sha256), kWaiting);
}

void TestAnalysisSession::realEngineFillsEveryRow()
{
    const QString file = m_files.write(QStringLiteral("real file.bin"), TempFiles::randomBytes(300'000, 99));
    int opens = 0;
    RecordingView view;
    AnalysisSession session(std::make_shared<DigestEngine>([&](const QByteArray& path) {
                                ++opens;
                                return RegularFile::open(path);
                            }),
                            view);
    QSignalSpy finished(&session, &AnalysisSession::finished);
    session.TakeInputPath(file);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(view.row(ResultRow::FileSize), QStringLiteral("300000"));
    QCOMPARE(view.row(ResultRow::Crc32), firstWordOf("rhash", {"--printf=%c", file}));
    QCOMPARE(view.row(ResultRow::Md5), firstWordOf("md5sum", {file}));
    QCOMPARE(view.row(ResultRow::Sha1), firstWordOf("sha1sum", {file}));
    QCOMPARE(view.row(ResultRow::Sha256), firstWordOf("sha256sum", {file}));
    QCOMPARE(opens, 1);
}

// /proc/version says it is empty, has content, and reads the same every time.
void TestAnalysisSession::sizeRowOwnsUpToBytesTheFileSystemDidNotCount()
{
    const QString file = QStringLiteral("/proc/version");
    QFile content(file);
    QVERIFY(content.open(QIODevice::ReadOnly));
    const QByteArray bytes = content.readAll();
    QVERIFY(!bytes.isEmpty());
    QCOMPARE(QFileInfo(file).size(), 0);

    RecordingView view;
    AnalysisSession session(std::make_shared<DigestEngine>(), view);
    QSignalSpy finished(&session, &AnalysisSession::finished);
    session.TakeInputPath(file);
    QTRY_COMPARE(finished.size(), 1);
    QVERIFY(view.messages().isEmpty());
    QCOMPARE(view.row(ResultRow::FileSize), QStringLiteral("0 (%1 bytes read)").arg(bytes.size()));
    QCOMPARE(view.row(ResultRow::Md5),
             QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex()));
    QCOMPARE(view.row(ResultRow::Sha256),
             QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
}

void TestAnalysisSession::intakeTakesThePathAsGiven_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("fileName"); // the row after the intake; "kept" when nothing was analysed
    QTest::addColumn<QStringList>("messages");
    // Namesakes with and without the blanks, so that trimming would show the wrong file.
    m_files.write(QStringLiteral("report.txt"), "without the blank");
    const QString trailing = m_files.write(QStringLiteral("report.txt "), "with a trailing blank");
    const QString leading = m_files.write(QStringLiteral(" report.txt"), "with a leading blank");
    // Shown with each blank at an end escaped, so that neither reads as its namesake.
    QTest::newRow("trailing blank") << trailing << "report.txt\\x20" << QStringList{};
    QTest::newRow("leading blank") << leading << "\\x20report.txt" << QStringList{};
    QTest::newRow("empty: nothing happens") << ""
                                            << "kept" << QStringList{};
    QTest::newRow("only blanks: a path like any other") << "   "
                                                        << "" << QStringList{"Invalid file path: \\x20\\x20\\x20"};
}

void TestAnalysisSession::intakeTakesThePathAsGiven()
{
    QFETCH(QString, input);
    QFETCH(QString, fileName);
    QFETCH(QStringList, messages);
    Rig rig;
    auto& [held, digests, view, session] = rig;
    session.takeArguments({QStringLiteral("/nonexistent-start"), QStringLiteral("second")});
    session.AnalyzeFile();
    QTRY_COMPARE(view.messages().size(), 1);
    view.fillAll(QStringLiteral("kept"));
    session.TakeInputPath(input);
    QCOMPARE(session.currentPath(), input);
    QCOMPARE(session.argList(), QStringList{input});
    QTRY_VERIFY(!session.isReadingFacts());
    QCOMPARE(view.row(ResultRow::FileName), fileName);
    QCOMPARE(view.messages().mid(1), messages); // after the refused start-up path
    if (fileName == QStringLiteral("report.txt\\x20")) {
        QCOMPARE(view.row(ResultRow::FileSize), QStringLiteral("21"));
    }
    session.stop();
}

void TestAnalysisSession::startUpAnalysesOnlyTheFirstArgument()
{
    const QString file = m_files.write(QStringLiteral("first-arg"), "x");
    Rig rig;
    auto& [held, digests, view, session] = rig;
    session.takeArguments({file, m_files.path(QStringLiteral("ignored"))});
    session.AnalyzeFile();
    QCOMPARE(session.currentPath(), file);
    QCOMPARE(session.argList().size(), 2);
    QTRY_COMPARE(view.row(ResultRow::FileName), QStringLiteral("first-arg"));
    QVERIFY(view.messages().isEmpty());
    session.stop();
}

// A read that hangs (a failing disk, a hard-mounted share) must cost a thread, never the window: new input is taken
// at once, analysed in full, and the hung run reaches no row when it finally returns.
void TestAnalysisSession::supersededReadThatHangsIsNeverWaitedFor()
{
    const QString hanging = m_files.write(QStringLiteral("first.hang"), TempFiles::randomBytes(100'000, 1));
    const QString next = m_files.write(QStringLiteral("second.bin"), TempFiles::randomBytes(100'000, 2));
    auto gate = std::make_shared<Gate>();
    RecordingView view;
    AnalysisSession session(std::make_shared<DigestEngine>(gatedOpener(gate, ".hang")), view);
    QSignalSpy finished(&session, &AnalysisSession::finished);

    session.TakeInputPath(hanging);
    QTRY_COMPARE(gate->arrivals(), 1); // the worker is stuck inside its first read
    session.TakeInputPath(next);       // would never return if it waited for that worker
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(view.row(ResultRow::FileName), QStringLiteral("second.bin"));
    QCOMPARE(view.row(ResultRow::Md5), digestOf("md5sum", next));

    view.forgetChanges();
    gate->open();
    QTRY_COMPARE(DigestRun::liveWorkers(), 0); // the abandoned worker ends by itself once its read returns
    QCoreApplication::processEvents();
    QVERIFY(view.changes().isEmpty());
    QCOMPARE(finished.size(), 1);
}

// The size and dates on screen are those of the version the facts were read from; if the file changes before the
// digests open it, showing their digests would describe a file that is not on screen.
void TestAnalysisSession::changeBetweenFactsAndDigestsFails()
{
    const QString file = m_files.write(QStringLiteral("edited.txt"), "before the edit");
    auto gate = std::make_shared<Gate>();
    RecordingView view;
    AnalysisSession session(std::make_shared<DigestEngine>([gate](const QByteArray& path) {
                                gate->wait(); // holds the open until the test has changed the file
                                return RegularFile::open(path);
                            }),
                            view);
    QSignalSpy finished(&session, &AnalysisSession::finished);
    session.TakeInputPath(file);
    QTRY_COMPARE(view.row(ResultRow::FileSize), QStringLiteral("15"));

    QTest::qWait(20); // past the clock tick of the first write, so the change time moves
    struct stat before
    {
    };
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &before), 0);
    m_files.write(QStringLiteral("edited.txt"), "AFTER the edit!");
    struct timespec times[2] = {before.st_atim, before.st_mtim};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0), 0);
    gate->open();

    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(view.messages(),
             QStringList{"Cannot read the file " + file + "\n\nThe file changed while it was being read."});
    for (ResultRow row : kDigestRows) {
        QCOMPARE(view.row(row), QString());
    }
}

void TestAnalysisSession::threadThatCannotStartFailsTheAnalysis()
{
    const QString file = m_files.write(QStringLiteral("no thread"), "x");
    RecordingView view;
    AnalysisSession session(
        std::make_shared<HoldableDigests>(), view, QLocale::system(), [](std::function<void()>) -> std::thread {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        });
    QSignalSpy finished(&session, &AnalysisSession::finished);
    session.TakeInputPath(file);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(view.messages().size(), 1);
    QVERIFY2(view.messages().front().contains(QStringLiteral("Cannot start a thread: ")),
             qPrintable(view.messages().front()));
    for (ResultRow row : kDigestRows) {
        QCOMPARE(view.row(row), QString());
    }
    QVERIFY(!session.isRunning());
}

// A Latin-1 name beside its lossy UTF-8 reading: the one named must be the one analysed, never its namesake.
void TestAnalysisSession::nameThatIsNotUtf8IsThatFile()
{
    const QByteArray folder = QFile::encodeName(m_files.path(QString()));
    const QByteArray latin1 = folder + "/caf\xe9.txt";
    const QByteArray namesake = folder + "/caf\xef\xbf\xbd.txt";
    for (const auto& [path, content] : {std::pair{latin1, "latin-1 name"}, std::pair{namesake, "its namesake"}}) {
        const int descriptor = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        QVERIFY(descriptor >= 0);
        QCOMPARE(::write(descriptor, content, std::strlen(content)), static_cast<ssize_t>(std::strlen(content)));
        ::close(descriptor);
    }
    RecordingView view;
    AnalysisSession session(std::make_shared<DigestEngine>(), view);
    QSignalSpy finished(&session, &AnalysisSession::finished);
    session.TakeInputPath(textForNativePath(latin1));
    QTRY_COMPARE(finished.size(), 1);
    QVERIFY(view.messages().isEmpty());
    QCOMPARE(view.row(ResultRow::FileSize), QStringLiteral("12"));
    QCOMPARE(view.row(ResultRow::FileName), QStringLiteral("caf\\xE9.txt")); // valid text that names no other file
    QProcess md5;
    md5.start(QStringLiteral("md5sum"), {});
    md5.write("latin-1 name");
    md5.closeWriteChannel();
    QVERIFY(md5.waitForFinished());
    QCOMPARE(view.row(ResultRow::Md5), QString::fromLatin1(md5.readAllStandardOutput()).section(u' ', 0, 0));
    // Qt's own file functions cannot name the Latin-1 file, so the temporary folder could not remove it.
    ::unlink(latin1.constData());
}

// On a mount that stopped answering even a stat hangs. The window's thread must stay free and show nothing of the
// file until its facts are in; then the analysis goes on as always, facts first and the digests after.
void TestAnalysisSession::windowThreadAnswersWhileFactsHang()
{
    const QString file = m_files.write(QStringLiteral("slow mount.hang"), "facts come late");
    HangingFacts facts;
    facts.stale = gatherFacts(file, QLocale::c()); // what the look finally sees
    auto digests = std::make_shared<HoldableDigests>();
    RecordingView view;
    view.fillAll(QStringLiteral("earlier file"));
    view.tickAll();
    AnalysisSession session(digests, view, QLocale::c(), {}, facts.reader());
    QSignalSpy settled(&session, &AnalysisSession::factsSettled);
    session.TakeInputPath(file);
    QTRY_COMPARE(facts.gate->arrivals(), 1);
    bool timerRan = false;
    QTimer::singleShot(0, this, [&] { timerRan = true; });
    QTRY_VERIFY(timerRan);
    QVERIFY(view.allRowsEmpty()); // cleared, and no "Waiting ..." before the facts
    QVERIFY(!view.anyTicked());
    QVERIFY(view.messages().isEmpty());
    QVERIFY(session.isReadingFacts());
    QCOMPARE(settled.size(), 0);
    QVERIFY(digests->calls().isEmpty());

    facts.gate->open();
    QTRY_COMPARE(settled.size(), 1);
    QCOMPARE(view.row(ResultRow::FileName), QStringLiteral("slow mount.hang"));
    QCOMPARE(view.row(ResultRow::FileSize), QStringLiteral("15"));
    QCOMPARE(view.row(ResultRow::Crc32), kCalculating);
    QCOMPARE(view.row(ResultRow::Md5), kWaiting);
    digests->release(4);
    QTRY_COMPARE(view.row(ResultRow::Sha256), HoldableDigests::fakeDigest(DigestKind::Sha256, file));
    QCOMPARE(facts.looksOnWindowThread->load(), 0);
}

void TestAnalysisSession::abandonedFactsReachNothing_data()
{
    QTest::addColumn<PathFacts>("stale");
    QTest::addColumn<bool>("superseded"); // by new input; otherwise stopped, as closing the window does
    const PathFacts found = HangingFacts().stale;
    const PathFacts refused{PathKind::Folder, QString(), std::nullopt};
    const PathFacts unreadable{PathKind::RegularFile, QStringLiteral("Input/output error"), std::nullopt};
    for (const bool superseded : {true, false}) {
        const char* how = superseded ? "superseded" : "stopped";
        QTest::addRow("facts, %s", how) << found << superseded;
        QTest::addRow("refusal, %s", how) << refused << superseded;
        QTest::addRow("read failure, %s", how) << unreadable << superseded;
    }
}

// A look that hangs and returns long after it was abandoned brings neither rows nor a message nor digests.
void TestAnalysisSession::abandonedFactsReachNothing()
{
    QFETCH(PathFacts, stale);
    QFETCH(bool, superseded);
    const QString hanging = m_files.write(QStringLiteral("stalled.hang"), "x");
    const QString next = m_files.write(QStringLiteral("next.txt"), "next");
    HangingFacts facts;
    facts.stale = stale;
    auto digests = std::make_shared<HoldableDigests>();
    RecordingView view;
    AnalysisSession session(digests, view, QLocale::c(), {}, facts.reader());
    QSignalSpy finished(&session, &AnalysisSession::finished);
    QSignalSpy settled(&session, &AnalysisSession::factsSettled);
    session.TakeInputPath(hanging);
    QTRY_COMPARE(facts.gate->arrivals(), 1);
    if (superseded) {
        session.TakeInputPath(next);
        digests->release(4);
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(view.row(ResultRow::FileName), QStringLiteral("next.txt"));
    } else {
        session.stop();
        QVERIFY(!session.isRunning());
    }
    QCOMPARE(settled.size(), superseded ? 2 : 1);
    QVERIFY(DigestRun::liveWorkers() > 0); // the hung look is left behind, not waited for

    view.forgetChanges();
    const QStringList messages = view.messages();
    facts.gate->open();
    QTRY_COMPARE(DigestRun::liveWorkers(), 0);
    QCoreApplication::processEvents();
    QVERIFY(view.changes().isEmpty());
    QCOMPARE(view.messages(), messages);
    QCOMPARE(digests->calls().size(), superseded ? 4 : 0);
    QCOMPARE(finished.size(), superseded ? 1 : 0);
    QCOMPARE(settled.size(), superseded ? 2 : 1);
}

QTEST_GUILESS_MAIN(TestAnalysisSession)
#include "TestAnalysisSession.moc"
