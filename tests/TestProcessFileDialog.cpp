#include "ProcessFileDialog.h"

#include <memory>
#include <optional>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The file dialog's process stood in for by shell scripts that answer as it would, hang, or die.
class TestProcessFileDialog : public QObject
{
    Q_OBJECT

private slots:
    void answerIsTheProcessesFirstLine_data();
    void answerIsTheProcessesFirstLine();
    void oneDialogAtATimeAndNoneOutlivesTheOwner();
    void noAnswerToAContextThatWent();

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

} // namespace

void TestProcessFileDialog::answerIsTheProcessesFirstLine_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("a name that is not UTF-8 keeps its bytes")
        << "printf 'file:///tmp/caf%%E9.txt\\n'" << QByteArray("file:///tmp/caf%E9.txt");
    QTest::newRow("the title is handed over")
        << "printf 'file:///%s\\n' \"$KESWIN_HASH_FILE_DIALOG_TITLE\"" << QByteArray("file:///Pick");
    QTest::newRow("cancel") << "printf '\\n'" << QByteArray();
    QTest::newRow("only the first line") << "printf 'file:///a\\nfile:///b\\n'" << QByteArray("file:///a");
    QTest::newRow("a line cut short") << "printf 'file:///a'" << QByteArray();
    QTest::newRow("failed after answering") << "printf 'file:///a\\n'; exit 1" << QByteArray();
    QTest::newRow("killed") << "printf 'file:///a\\n'; kill -9 $$" << QByteArray();
    QTest::newRow("no such program") << "exec /nonexistent/dialog" << QByteArray();
}

void TestProcessFileDialog::answerIsTheProcessesFirstLine()
{
    QFETCH(QString, script);
    QFETCH(QByteArray, answer);
    const auto dialog = scriptDialog(script);
    std::optional<QUrl> answered;
    QObject context;
    dialog->chooseFile(&context, QStringLiteral("Pick"), [&](const QUrl& chosen) { answered = chosen; });
    QVERIFY(!answered); // the window goes on while the dialog is open
    QTRY_VERIFY(answered.has_value());
    QCOMPARE(answered->toEncoded(), answer);
    // And the next Browse opens a dialog again.
    std::optional<QUrl> again;
    dialog->chooseFile(&context, QStringLiteral("Pick"), [&](const QUrl& chosen) { again = chosen; });
    QTRY_VERIFY(again.has_value());
}

void TestProcessFileDialog::oneDialogAtATimeAndNoneOutlivesTheOwner()
{
    const QString pids = m_folder.filePath(QStringLiteral("pids"));
    auto dialog = scriptDialog(QStringLiteral("echo $$ >>'%1'; exec sleep 600").arg(pids));
    int answers = 0;
    QObject context;
    dialog->chooseFile(&context, QStringLiteral("Pick"), [&](const QUrl&) { ++answers; });
    QTRY_VERIFY(contentOf(pids).endsWith('\n'));
    dialog->chooseFile(&context, QStringLiteral("Pick"), [&](const QUrl&) { ++answers; });
    // A dialog that never closes (stuck in a share) goes with its owner, at once.
    dialog.reset();
    const QByteArray started = contentOf(pids);
    QCOMPARE(started.count('\n'), 1);
    QTRY_VERIFY(!running(started));
    QCoreApplication::processEvents();
    QCOMPARE(answers, 0);
}

void TestProcessFileDialog::noAnswerToAContextThatWent()
{
    const QString go = m_folder.filePath(QStringLiteral("go"));
    const QString done = m_folder.filePath(QStringLiteral("done"));
    const auto dialog = scriptDialog(
        QStringLiteral("while [ ! -e '%1' ]; do sleep 0.01; done; printf 'file:///a\\n'; echo >'%2'").arg(go, done));
    int answers = 0;
    auto context = std::make_unique<QObject>();
    dialog->chooseFile(context.get(), QStringLiteral("Pick"), [&](const QUrl&) { ++answers; });
    context.reset();
    QFile(go).open(QIODevice::WriteOnly);
    QTRY_VERIFY(QFile::exists(done));
    // Once that dialog has ended, another opens: the first one's end has been seen.
    std::optional<QUrl> next;
    QObject other;
    QTRY_VERIFY_WITH_TIMEOUT(
        (dialog->chooseFile(&other, QStringLiteral("Pick"), [&](const QUrl& chosen) { next = chosen; }),
         next.has_value()),
        10'000);
    QCOMPARE(answers, 0);
}

QTEST_GUILESS_MAIN(TestProcessFileDialog)
#include "TestProcessFileDialog.moc"
