#include "FileDialogChild.h"
#include "ProcessFileDialog.h"

#include <memory>
#include <optional>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

// The file dialog's process stood in for by shell scripts that answer as it would, hang, or die.
class TestProcessFileDialog : public QObject
{
    Q_OBJECT

private slots:
    void answerIsTheFirstOfTwoLines_data();
    void answerIsTheFirstOfTwoLines();
    void nextDialogOpensWhereTheLastOneWas();
    void aDialogStuckOnceKeepsTheFolder();
    void oneDialogAtATimeAndNoneOutlivesTheOwner();
    void aDialogGoneQuietIsKilledAndReported_data();
    void aDialogGoneQuietIsKilledAndReported();
    void noAnswerToAnOwnerThatWent();
    void browseDuringAFailureReportOpensNothing();
    // Last: it has the application quit.
    void theDialogGoesWhenTheApplicationQuits();

private:
    QTemporaryDir m_folder;
};

namespace {

using namespace std::chrono_literals;

// Short enough for the tests that wait for it; long enough that a shell started on a busy machine has answered.
constexpr auto kShortLimit = 4s;

std::unique_ptr<ProcessFileDialog> scriptDialog(const QString& script, std::chrono::milliseconds limit = 10s)
{
    return std::make_unique<ProcessFileDialog>(QStringLiteral("/bin/sh"), QStringList{"-c", script}, limit);
}

// Shell text that writes the dialog's sign of life every tenth of a second for SECONDS, as its event loop would.
QString signsOfLifeFor(int seconds)
{
    return QStringLiteral("i=0; while [ $i -lt %1 ]; do printf '\\000'; sleep 0.1; i=$((i + 1)); done; ")
        .arg(seconds * 10);
}

// Whether a process of this id still runs; a zombie has ended.
bool running(const QByteArray& pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid.trimmed())));
    if (!stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray line = stat.readAll();
    return !line.mid(line.lastIndexOf(')') + 2).startsWith('Z');
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Shows a dialog and waits for its answer, which must not come before the dialog could have been shown.
void chooseAndWait(ProcessFileDialog& dialog, QWidget* owner, std::optional<FileChoice>& answered)
{
    answered.reset();
    dialog.chooseFile(owner, QStringLiteral("Pick"), [&](const FileChoice& choice) { answered = choice; });
    QVERIFY(!answered);
    QTRY_VERIFY_WITH_TIMEOUT(answered.has_value(), 20'000);
}

} // namespace

void TestProcessFileDialog::answerIsTheFirstOfTwoLines_data()
{
    const QString stalled = QStringLiteral("The file dialog stopped answering for ten seconds and was closed.");
    const QString noAnswer = QStringLiteral("The file dialog ended without an answer.");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("chosen");
    QTest::addColumn<QString>("failure"); // how it starts
    QTest::newRow("a name that is not UTF-8 keeps its bytes")
        << "printf 'file:///tmp/caf%%E9.txt\\nfile:///tmp\\n'" << QByteArray("file:///tmp/caf%E9.txt") << QString();
    QTest::newRow("the title is handed over")
        << "printf 'file:///%s\\n\\n' \"$KESWIN_HASH_FILE_DIALOG_TITLE\"" << QByteArray("file:///Pick") << QString();
    QTest::newRow("cancel") << "printf '\\nfile:///tmp\\n'" << QByteArray() << QString();
    QTest::newRow("answered, then stuck on the way out")
        << "printf 'file:///a\\n\\n'; exec sleep 600" << QByteArray("file:///a") << QString();
    QTest::newRow("one line only") << "printf 'file:///a\\n'" << QByteArray() << noAnswer;
    QTest::newRow("an exit status of its own") << "exit 3" << QByteArray() << noAnswer;
    QTest::newRow("stopped, and ended by the window") << "kill -STOP $$" << QByteArray() << stalled;
    QTest::newRow("signs of life around the lines")
        << "printf '\\000file:///a\\000\\n\\000\\n\\000'" << QByteArray("file:///a") << QString();
    QTest::newRow("killed") << "kill -9 $$" << QByteArray() << noAnswer;
    QTest::newRow("no such program") << "exec /nonexistent/dialog" << QByteArray() << noAnswer;
}

void TestProcessFileDialog::answerIsTheFirstOfTwoLines()
{
    QFETCH(QString, script);
    QFETCH(QByteArray, chosen);
    QFETCH(QString, failure);
    const auto dialog = scriptDialog(script, kShortLimit);
    QWidget owner;
    std::optional<FileChoice> answer;
    chooseAndWait(*dialog, &owner, answer);
    QVERIFY(answer);
    QCOMPARE(answer->chosen.toEncoded(), chosen);
    QVERIFY2(failure.isEmpty() ? answer->failure.isEmpty() : answer->failure.startsWith(failure),
             qPrintable(answer->failure));
    // And the next Browse opens a dialog again.
    chooseAndWait(*dialog, &owner, answer);
    QVERIFY(answer);
}

void TestProcessFileDialog::nextDialogOpensWhereTheLastOneWas()
{
    // Each dialog says where it was told to open, and where it ended.
    const auto dialog =
        scriptDialog(QStringLiteral("printf 'file:///was/%s\\nfile:///folder/%s\\n' \"$%1\" \"$(date +%N)\"")
                         .arg(QString::fromLatin1(kFileDialogFolderVariable)));
    QWidget owner;
    std::optional<FileChoice> first;
    chooseAndWait(*dialog, &owner, first);
    QVERIFY(first);
    QCOMPARE(first->chosen.toEncoded(), QByteArray("file:///was/"));
    std::optional<FileChoice> second;
    chooseAndWait(*dialog, &owner, second);
    QVERIFY(second);
    QVERIFY2(second->chosen.toEncoded().startsWith("file:///was/file:///folder/"), second->chosen.toEncoded());
}

// Stuck once (a settings file that never answers, say; stopped here), the next dialog still opens where the chosen file
// is; stuck twice running, it opens elsewhere, since that folder may be what it gets stuck on.
void TestProcessFileDialog::aDialogStuckOnceKeepsTheFolder()
{
    const QString count = m_folder.filePath(QStringLiteral("count"));
    const auto dialog =
        scriptDialog(QStringLiteral("n=$(cat '%1' 2>/dev/null || echo 0); echo $((n + 1)) >'%1'; case $n in "
                                    "0) printf 'file:///d/f\\nfile:///d/\\n' ;; 1|3|4) kill -STOP $$ ;; "
                                    "*) printf 'file:///was/%s\\n%s\\n' \"$%2\" \"$%2\" ;; esac")
                         .arg(count, QString::fromLatin1(kFileDialogFolderVariable)),
                     kShortLimit);
    QWidget owner;
    QList<QByteArray> chosen;
    for (int i = 0; i < 6; ++i) {
        std::optional<FileChoice> answer;
        chooseAndWait(*dialog, &owner, answer);
        QVERIFY(answer);
        chosen.append(answer->chosen.toEncoded());
    }
    QCOMPARE(chosen, (QList<QByteArray>{"file:///d/f", "", "file:///was/file:///d/", "", "", "file:///was/"}));
}

void TestProcessFileDialog::oneDialogAtATimeAndNoneOutlivesTheOwner()
{
    const QString pids = m_folder.filePath(QStringLiteral("pids"));
    auto dialog = scriptDialog(QStringLiteral("echo $$ >>'%1'; exec sleep 600").arg(pids));
    int answers = 0;
    QWidget owner;
    dialog->chooseFile(&owner, QStringLiteral("Pick"), [&](const FileChoice&) { ++answers; });
    QTRY_VERIFY(contentOf(pids).endsWith('\n'));
    dialog->chooseFile(&owner, QStringLiteral("Pick"), [&](const FileChoice&) { ++answers; });
    // A dialog that never closes (stuck in a share) goes with its owner, at once.
    dialog.reset();
    const QByteArray started = contentOf(pids);
    QCOMPARE(started.count('\n'), 1);
    QTRY_VERIFY(!running(started));
    QCoreApplication::processEvents();
    QCOMPARE(answers, 0);
}

void TestProcessFileDialog::aDialogGoneQuietIsKilledAndReported_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("stalled");
    // A user taking long to choose is no stuck dialog: only silence counts.
    QTest::newRow("alive for twice the limit, then chosen") << signsOfLifeFor(8) + "printf 'file:///a\\n\\n'" << false;
    QTest::newRow("alive, then stopped") << signsOfLifeFor(1) + "kill -STOP $$" << true;
    QTest::newRow("alive, then quiet and deaf to SIGTERM")
        << signsOfLifeFor(1) + "trap '' TERM INT HUP; while :; do sleep 1; done" << true;
}

// Stopped, the process cannot end itself: the window's process kills it without waiting for it, and says why.
void TestProcessFileDialog::aDialogGoneQuietIsKilledAndReported()
{
    QFETCH(QString, script);
    QFETCH(bool, stalled);
    const QString pidFile = m_folder.filePath(QStringLiteral("quiet-pid"));
    QFile::remove(pidFile);
    const auto dialog = scriptDialog(QStringLiteral("echo $$ >'%1'; ").arg(pidFile) + script, kShortLimit);
    QWidget owner;
    std::optional<FileChoice> answer;
    QElapsedTimer elapsed;
    elapsed.start();
    dialog->chooseFile(&owner, QStringLiteral("Pick"), [&](const FileChoice& choice) { answer = choice; });
    QTRY_VERIFY(contentOf(pidFile).endsWith('\n'));
    const QByteArray pid = contentOf(pidFile);
    // The window's thread goes on meanwhile.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(100);
    QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 30'000);
    if (!stalled) {
        QCOMPARE(answer->chosen.toEncoded(), QByteArray("file:///a"));
        QVERIFY2(answer->failure.isEmpty(), qPrintable(answer->failure));
        return;
    }
    QVERIFY2(answer->failure.startsWith(QStringLiteral("The file dialog stopped answering for ten seconds")),
             qPrintable(answer->failure));
    // The signs went on for most of a second: each put the limit off.
    QVERIFY2(elapsed.elapsed() >= std::chrono::milliseconds(kShortLimit + 500ms).count(),
             qPrintable(QString::number(elapsed.elapsed())));
    QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
    // Killed, and reaped once it has gone.
    QTRY_VERIFY(!QFile::exists(QStringLiteral("/proc/%1").arg(QString::fromLatin1(pid.trimmed()))));
    // And the next Browse opens a dialog again.
    dialog->chooseFile(&owner, QStringLiteral("Pick"), [&](const FileChoice& choice) { answer = choice; });
    QTRY_VERIFY(contentOf(pidFile) != pid);
}

// A Browse click queued while a stalled dialog's failure is being reported (a message box runs its own event loop)
// opens no dialog of its own: the report's answer stays the last, and the next Browse after it opens the next dialog.
void TestProcessFileDialog::browseDuringAFailureReportOpensNothing()
{
    const QString started = m_folder.filePath(QStringLiteral("started"));
    QFile::remove(started);
    const auto dialog = scriptDialog(QStringLiteral("echo $$ >>'%1'; kill -STOP $$").arg(started), kShortLimit);
    QWidget owner;
    bool reported = false;
    bool answeredDuringReport = false;
    dialog->chooseFile(&owner, QStringLiteral("Pick"), [&](const FileChoice& choice) {
        QVERIFY(!choice.failure.isEmpty());
        dialog->chooseFile(&owner, QStringLiteral("Pick"), [&](const FileChoice&) { answeredDuringReport = true; });
        reported = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(reported, 30'000);
    std::optional<FileChoice> next;
    dialog->chooseFile(&owner, QStringLiteral("Pick"), [&](const FileChoice& choice) { next = choice; });
    QTRY_COMPARE(contentOf(started).count('\n'), 2);
    QTRY_VERIFY_WITH_TIMEOUT(next.has_value(), 30'000);
    QVERIFY(!answeredDuringReport);
}

void TestProcessFileDialog::noAnswerToAnOwnerThatWent()
{
    const QString go = m_folder.filePath(QStringLiteral("go"));
    const QString done = m_folder.filePath(QStringLiteral("done"));
    const auto dialog = scriptDialog(
        QStringLiteral("while [ ! -e '%1' ]; do sleep 0.01; done; printf 'file:///a\\n\\n'; echo >'%2'").arg(go, done));
    int answers = 0;
    auto owner = std::make_unique<QWidget>();
    dialog->chooseFile(owner.get(), QStringLiteral("Pick"), [&](const FileChoice&) { ++answers; });
    owner.reset();
    QFile(go).open(QIODevice::WriteOnly);
    QTRY_VERIFY(QFile::exists(done));
    // Once that dialog has ended, another opens: the first one's end has been seen.
    std::optional<FileChoice> next;
    QWidget other;
    QTRY_VERIFY_WITH_TIMEOUT(
        (dialog->chooseFile(&other, QStringLiteral("Pick"), [&](const FileChoice& choice) { next = choice; }),
         next.has_value()),
        10'000);
    QCOMPARE(answers, 0);
}

// The program may end at once once its window has closed (a worker left in a hung read): the dialog goes as the
// application quits, before any destructor would have run.
void TestProcessFileDialog::theDialogGoesWhenTheApplicationQuits()
{
    const QString pidFile = m_folder.filePath(QStringLiteral("quit-pid"));
    const auto dialog = scriptDialog(QStringLiteral("echo $$ >'%1'; ").arg(pidFile) + signsOfLifeFor(600));
    int answers = 0;
    QWidget owner;
    dialog->chooseFile(&owner, QStringLiteral("Pick"), [&](const FileChoice&) { ++answers; });
    QTRY_VERIFY(contentOf(pidFile).endsWith('\n'));
    const QString proc = QStringLiteral("/proc/%1").arg(QString::fromLatin1(contentOf(pidFile).trimmed()));
    QVERIFY(running(contentOf(pidFile)));
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(proc), 5'000);
    QCOMPARE(answers, 0);
}

QTEST_MAIN(TestProcessFileDialog)
#include "TestProcessFileDialog.moc"
