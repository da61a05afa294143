#include "FileDialogChild.h"
#include "ProcessFileDialog.h"

#include <memory>
#include <optional>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
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
    void noAnswerToAnOwnerThatWent();

private:
    QTemporaryDir m_folder;
};

namespace {

std::unique_ptr<ProcessFileDialog> scriptDialog(const QString& script)
{
    return std::make_unique<ProcessFileDialog>(QStringLiteral("/bin/sh"), QStringList{"-c", script});
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
    QTest::newRow("stuck, and ended by its watch") << "exit 3" << QByteArray() << stalled;
    QTest::newRow("killed") << "kill -9 $$" << QByteArray() << noAnswer;
    QTest::newRow("no such program") << "exec /nonexistent/dialog" << QByteArray() << noAnswer;
}

void TestProcessFileDialog::answerIsTheFirstOfTwoLines()
{
    QFETCH(QString, script);
    QFETCH(QByteArray, chosen);
    QFETCH(QString, failure);
    const auto dialog = scriptDialog(script);
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

// Stuck once (a settings file that never answers, say), the next dialog still opens where the chosen file is; stuck
// twice running, it opens elsewhere, since that folder may be what it gets stuck on.
void TestProcessFileDialog::aDialogStuckOnceKeepsTheFolder()
{
    const QString count = m_folder.filePath(QStringLiteral("count"));
    const auto dialog =
        scriptDialog(QStringLiteral("n=$(cat '%1' 2>/dev/null || echo 0); echo $((n + 1)) >'%1'; case $n in "
                                    "0) printf 'file:///d/f\\nfile:///d/\\n' ;; 1|3|4) exit %2 ;; "
                                    "*) printf 'file:///was/%s\\n%s\\n' \"$%3\" \"$%3\" ;; esac")
                         .arg(count)
                         .arg(kFileDialogStalledStatus)
                         .arg(QString::fromLatin1(kFileDialogFolderVariable)));
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

QTEST_MAIN(TestProcessFileDialog)
#include "TestProcessFileDialog.moc"
