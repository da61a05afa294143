#include "CheckArguments.h"
#include "CheckIntake.h"
#include "CheckTexts.h"
#include "DigestDelegate.h"
#include "Drops.h"
#include "FakeFileDialog.h"
#include "frmCheck.h"
#include "GatedReader.h"
#include "NativePath.h"
#include "PasteField.h"
#include "QtClipboard.h"
#include "TempFiles.h"

#include <fcntl.h>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCryptographicHash>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

Q_DECLARE_METATYPE(CheckState)

namespace {

const QByteArray kContent = "the published release\n";

QByteArray sha256Hex(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

// The window over the real session and the real (offscreen) clipboard; reads of names holding "gated" wait at the
// gate until the rig goes.
struct CheckWindowRig
{
    CheckWindowRig()
    {
        CheckSessionOptions options;
        options.updateIntervalMs = 20;
        options.batch.opener = gatedOpener(gate, "gated");
        window = std::make_unique<frmCheck>(fileDialog, clipboard, options);
        window->show();
    }
    ~CheckWindowRig()
    {
        window.reset();
        gate->open();
        (void)QTest::qWaitFor([] { return CheckSession::liveWorkers() == 0; }, 10'000);
    }
    template <typename T> T* find(const char* name) const { return window->findChild<T*>(QLatin1String(name)); }
    bool waitIdle() const
    {
        return QTest::qWaitFor([&] { return !window->session().isRunning() && window->model().size() > 0; }, 20'000);
    }
    QString cell(int row, int column) const { return window->model().index(row, column).data().toString(); }

    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    FakeFileDialog fileDialog;
    QtClipboard clipboard;
    std::unique_ptr<frmCheck> window;
};

// Written by its bytes: Qt's file names are text, and would not keep a byte that is not UTF-8.
bool writeNative(const QByteArray& path, const QByteArray& content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool written =
        fd >= 0 && ::write(fd, content.constData(), static_cast<size_t>(content.size())) == content.size();
    return ::close(fd) == 0 && written;
}

} // namespace

class TestCheckWindow : public QObject
{
    Q_OBJECT

private slots:
    void checksumListNames_data();
    void checksumListNames();
    void commandLine_data();
    void commandLine();
    void progressFigures_data();
    void progressFigures();
    void drops_data();
    void drops();
    void hostileNamesShowLiterally();
    void pipeGivenAsFileSaysTheListIsStillRead();
    void paste_data();
    void paste();
    void answersAtOnce_data();
    void answersAtOnce();
    void pastedFromTheClipboard_data();
    void pastedFromTheClipboard();
    void cloudFormsPastedInTurn();
    void typedDigestWaitsForEnter();
    void correctedPasteLeavesNoMismatch();
    void pasteAfterAListOrAComparison();
    void copyResultsPutsTheReport();
    void copyFromTheTableCopiesRows_data();
    void copyFromTheTableCopiesRows();
    void dialogThatMangledTheNameIsRefused();
    void cancelWhileAReadHangs();
    void everyControlIsNamedAndEveryLabelPlain();
    void droppedTogether_data();
    void droppedTogether();
    void digestsReadableAndCopiedWhole();
    void smallestWindowKeepsTheResults();
    void keyboardLeavesTheTableAndCancels();
    void cellsAndLabelsNamedForScreenReaders();
    void nothingPublishedSaysWhatIsComputed_data();
    void nothingPublishedSaysWhatIsComputed();
    void stalledProgressSaysSo();

private:
    TempFiles m_files;
};

void TestCheckWindow::checksumListNames_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("list");
    QTest::newRow("suffix") << QByteArray("/d/release.iso.sha256") << true;
    QTest::newRow("sfv") << QByteArray("disc.sfv") << true;
    QTest::newRow("named list") << QByteArray("/d/SHA256SUMS") << true;
    QTest::newRow("other SUMS") << QByteArray("/d/SHA3-256SUMS") << true;
    QTest::newRow("CHECKSUM") << QByteArray("/d/CHECKSUM") << true;
    QTest::newRow("data file") << QByteArray("/d/release.iso") << false;
    QTest::newRow("hidden .sha256 alone") << QByteArray("/d/.sha256") << false;
    QTest::newRow("SUMS alone") << QByteArray("/d/SUMS") << false;
    QTest::newRow("folder named like a list") << QByteArray("/d/SHA256SUMS/file") << false;
    QTest::newRow("upper-case suffix") << QByteArray("/d/x.SHA256") << true;
    QTest::newRow("lower-case list") << QByteArray("/d/sha256sums") << true;
    QTest::newRow("list as text") << QByteArray("/d/SHA256SUMS.txt") << true;
    QTest::newRow("a release's CHECKSUM") << QByteArray("/d/Fedora-39-CHECKSUM") << true;
    // Standard input by name is a list piped or redirected in; a file of that name elsewhere is data.
    QTest::newRow("/dev/stdin") << QByteArray("/dev/stdin") << true;
    QTest::newRow("/dev/fd/0") << QByteArray("/dev/fd/0") << true;
    QTest::newRow("/proc/self/fd/0") << QByteArray("/proc/self/fd/0") << true;
    QTest::newRow("stdin elsewhere") << QByteArray("/d/stdin") << false;
    QTest::newRow("another descriptor") << QByteArray("/dev/fd/3") << false;
}

void TestCheckWindow::checksumListNames()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, list);
    QCOMPARE(isChecksumListName(path), list);
}

void TestCheckWindow::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<QByteArray>>("files");
    QTest::addColumn<bool>("error");
    QTest::addColumn<bool>("help");
    QTest::addColumn<bool>("version");
    const QString latin1 = textForNativePath("caf\xe9 <b>x</b>");
    QTest::newRow("nothing") << QStringList{} << QList<QByteArray>{} << false << false << false;
    QTest::newRow("one") << QStringList{"a b"} << QList<QByteArray>{"a b"} << false << false << false;
    QTest::newRow("two") << QStringList{"a", "b"} << QList<QByteArray>{"a", "b"} << false << false << false;
    QTest::newRow("three") << QStringList{"a", "b", "c"} << QList<QByteArray>{} << true << false << false;
    QTest::newRow("unknown option") << QStringList{"--bogus"} << QList<QByteArray>{} << true << false << false;
    QTest::newRow("dash name after --") << QStringList{"--", "-platform"} << QList<QByteArray>{"-platform"} << false
                                        << false << false;
    QTest::newRow("not UTF-8, markup") << QStringList{latin1} << QList<QByteArray>{"caf\xe9 <b>x</b>"} << false << false
                                       << false;
    QTest::newRow("empty name") << QStringList{""} << QList<QByteArray>{} << true << false << false;
    QTest::newRow("help") << QStringList{"--help"} << QList<QByteArray>{} << false << true << false;
    QTest::newRow("-h") << QStringList{"-h"} << QList<QByteArray>{} << false << true << false;
    // Qt's options are never handed to Qt, so there is no help about them to give.
    QTest::newRow("help-all") << QStringList{"--help-all"} << QList<QByteArray>{} << true << false << false;
    QTest::newRow("version") << QStringList{"--version"} << QList<QByteArray>{} << false << false << true;
}

void TestCheckWindow::commandLine()
{
    QFETCH(QStringList, arguments);
    arguments.prepend(QStringLiteral("keswin-check"));
    const CheckArguments parsed = parseCheckArguments(arguments);
    QFETCH(bool, error);
    QCOMPARE(!parsed.error.isEmpty(), error);
    if (!error) {
        QTEST(parsed.files, "files");
        QTEST(parsed.help, "help");
        QTEST(parsed.version, "version");
    }
    QVERIFY(parsed.helpText.contains(QStringLiteral("SECOND")));
    QVERIFY(parsed.helpText.contains(QStringLiteral("--help")));
    QVERIFY2(!parsed.helpText.contains(QStringLiteral("help-all")), qPrintable(parsed.helpText));
}

void TestCheckWindow::progressFigures_data()
{
    QTest::addColumn<quint64>("total");
    QTest::addColumn<quint64>("done");
    QTest::addColumn<qint64>("secondsLeft");
    QTest::addColumn<int>("permille");
    QTest::addColumn<QString>("left");
    QTest::newRow("total unknown") << quint64(0) << quint64(5) << qint64(-1) << -1 << QString();
    QTest::newRow("half") << quint64(10) << quint64(5) << qint64(59) << 500 << QStringLiteral("59 s left");
    QTest::newRow("a minute") << quint64(1000) << quint64(1) << qint64(60) << 1 << QStringLiteral("1 min 0 s left");
    QTest::newRow("hours") << quint64(1000) << quint64(999) << qint64(7380) << 999 << QStringLiteral("2 h 3 min left");
    QTest::newRow("past the total") << quint64(10) << quint64(12) << qint64(0) << 1000 << QString();
    QTest::newRow("near 2^64") << ~quint64(0) << ~quint64(0) / 2 << qint64(-1) << 500 << QString();
}

void TestCheckWindow::progressFigures()
{
    CheckProgress progress;
    QFETCH(quint64, total);
    QFETCH(quint64, done);
    QFETCH(qint64, secondsLeft);
    QFETCH(QString, left);
    progress.totalBytes = total;
    progress.bytesDone = done;
    progress.secondsLeft = secondsLeft;
    progress.bytesPerSecond = 1024;
    QTEST(progressPermille(progress), "permille");
    const QString text = progressText(progress);
    QVERIFY2(left.isEmpty() ? !text.contains(QStringLiteral("left")) : text.endsWith(left), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("/s")), qPrintable(text));
    QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("(^|[^0-9.])1 bytes"))), qPrintable(text));
}

// Dropped on the results table: a list fills a row per entry; a data file is checked against the digest published
// beside it; with "compare" ticked, a second file is compared with the loaded one.
void TestCheckWindow::drops_data()
{
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<bool>("compareSecond");
    QTest::addColumn<QList<CheckState>>("states");
    QTest::addColumn<QString>("found");
    m_files.write("data.bin", kContent);
    m_files.write("copy.bin", kContent);
    m_files.write("other.bin", "other\n");
    m_files.write("data.bin.sha256", sha256Hex(kContent) + "  data.bin\n");
    m_files.write("SHA256SUMS", sha256Hex(kContent) + "  data.bin\n" + sha256Hex("x") + "  other.bin\n" +
                                    "garbage line\n" + sha256Hex("y") + "  absent.bin\n");
    QTest::newRow("list") << QStringList{"SHA256SUMS"} << false
                          << QList<CheckState>{CheckState::Ok, CheckState::Mismatch, CheckState::Missing}
                          << QStringLiteral("Checked the list"); // no longer "Checking" once it has ended
    QTest::newRow("data file") << QStringList{"data.bin"} << false << QList<CheckState>{CheckState::Ok, CheckState::Ok}
                               << QStringLiteral("data.bin.sha256, %1").arg(m_files.path("SHA256SUMS"));
    QTest::newRow("compare identical") << QStringList{"data.bin", "copy.bin"} << true
                                       << QList<CheckState>{CheckState::Identical, CheckState::Identical}
                                       << QStringLiteral("identical");
    QTest::newRow("compare different") << QStringList{"data.bin", "other.bin"} << true
                                       << QList<CheckState>{CheckState::Different, CheckState::Different}
                                       << QStringLiteral("byte 1,");
    QTest::newRow("second without compare")
        << QStringList{"other.bin", "data.bin"} << false << QList<CheckState>{CheckState::Ok, CheckState::Ok}
        << QStringLiteral("data.bin.sha256");
}

void TestCheckWindow::drops()
{
    QFETCH(QStringList, dropped);
    QFETCH(bool, compareSecond);
    CheckWindowRig rig;
    QWidget* target = rig.find<QTableView>("tblResults")->viewport();
    for (qsizetype i = 0; i < dropped.size(); ++i) {
        if (i > 0 && compareSecond) {
            QVERIFY(rig.find<QCheckBox>("chkDropCompares")->isEnabled());
            rig.find<QCheckBox>("chkDropCompares")->setChecked(true);
        }
        QSignalSpy finished(&rig.window->session(), &CheckSession::finished);
        QVERIFY(dropOn(target, filesData({m_files.path(dropped[i])})));
        QVERIFY(finished.wait(20'000));
    }
    QFETCH(QList<CheckState>, states);
    QCOMPARE(rig.window->model().size(), states.size());
    for (qsizetype row = 0; row < states.size(); ++row) {
        QCOMPARE(rig.window->model().row(row).state, states[row]);
    }
    QFETCH(QString, found);
    QVERIFY(rig.find<QLabel>("lblFound")->text().contains(found));
    QCOMPARE(rig.find<QLabel>("lblSummary")->text(), rig.window->session().summary());
    QCOMPARE(rig.find<QListWidget>("lstProblems")->count(), rig.window->session().problems().size());
}

// A name with markup and bytes that are not UTF-8, in the list and as the data file: shown as the characters it holds.
void TestCheckWindow::hostileNamesShowLiterally()
{
    const QByteArray name = "<b>bold&lt; caf\xe9"; // no slash: a name holds none
    const QString folder = m_files.path(QStringLiteral("hostile"));
    QDir().mkpath(folder);
    const QByteArray native = QFile::encodeName(folder) + '/' + name;
    // Qt cannot name them to remove them with the temporary folder.
    const auto removeFiles = qScopeGuard([&] {
        ::unlink(native.constData());
        ::unlink((native + ".sha256").constData());
    });
    QVERIFY(writeNative(native, kContent));
    QVERIFY(writeNative(native + ".sha256", sha256Hex(kContent) + "  " + name + "\n"));

    CheckWindowRig rig;
    rig.window->takeFile(textForNativePath(native));
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.window->model().row(0).name, name);
    QCOMPARE(rig.window->model().row(0).state, CheckState::Ok);
    QCOMPARE(rig.cell(0, CheckModel::NameColumn), QStringLiteral("<b>bold&lt; caf\\xE9"));
    // The state as a picture too, whatever icon theme the desktop has (here, none).
    const QModelIndex state = rig.find<QTableView>("tblResults")->model()->index(0, CheckModel::StateColumn);
    QVERIFY(!state.data(Qt::DecorationRole).value<QIcon>().isNull());
    QLabel* found = rig.find<QLabel>("lblFound");
    QCOMPARE(found->textFormat(), Qt::PlainText);
    QVERIFY2(found->text().contains(QStringLiteral("<b>bold&lt; caf\\xE9.sha256")), qPrintable(found->text()));
    // Shown as the table shows names: no checksum line's escape mark in front of the path.
    QVERIFY2(found->text().startsWith(QStringLiteral("Published digests found in: /")), qPrintable(found->text()));
}

// A FIFO given as a file is found to be a list on its worker: the heading says the list is still being checked
// while its writer holds back the rest, and says it was checked once the writer is done.
void TestCheckWindow::pipeGivenAsFileSaysTheListIsStillRead()
{
    QVERIFY(QDir().mkpath(m_files.path(QStringLiteral("piped"))));
    m_files.write(QStringLiteral("piped/one.bin"), kContent);
    const QByteArray fifo = QFile::encodeName(m_files.path(QStringLiteral("piped/feed")));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    const auto more = std::make_shared<Gate>();
    std::thread writer([fifo, more] {
        const int fd = ::open(fifo.constData(), O_WRONLY | O_CLOEXEC); // until the window's worker opens it
        const QByteArray line = sha256Hex(kContent) + "  one.bin\n";
        (void)!::write(fd, line.constData(), static_cast<size_t>(line.size()));
        more->wait();
        ::close(fd);
    });
    const auto ending = qScopeGuard([&] {
        more->open();
        writer.join();
    });
    CheckWindowRig rig;
    rig.window->takeFile(textForNativePath(fifo));
    QLabel* heading = rig.find<QLabel>("lblFound");
    QTRY_COMPARE(rig.window->model().size(), 1);
    QTRY_VERIFY2(heading->text().startsWith(QStringLiteral("Checking the list")), qPrintable(heading->text()));
    more->open();
    QVERIFY(rig.waitIdle());
    QVERIFY2(heading->text().startsWith(QStringLiteral("Checked the list")), qPrintable(heading->text()));
}

void TestCheckWindow::paste_data()
{
    QTest::addColumn<bool>("loadFirst");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<CheckState>("state");
    const QString digest = QString::fromLatin1(sha256Hex(kContent));
    QTest::newRow("before any file") << false << digest << QStringLiteral("No file yet") << CheckState::Waiting;
    QTest::newRow("garbage") << true << QStringLiteral("<b>zz</b>") << QStringLiteral("Not understood")
                             << CheckState::NotCompared;
    QTest::newRow("a digit short") << true << digest.left(63)
                                   << QStringLiteral("Not understood: 63 hex digits where 64 make a digest (SHA-256, "
                                                     "SHA3-256, BLAKE3 and BLAKE2b-256): the digest is cut short.")
                                   << CheckState::NotCompared;
    QTest::newRow("colon pairs, a digit short")
        << true << QStringLiteral("0c:c1:75:b9:c0:f1:b6:a8:31:c3:99:e2:69:77:26:6")
        << QStringLiteral(
               "Not understood: 31 hex digits where 32 make a digest (MD5 and XXH128): the digest is cut short.")
        << CheckState::NotCompared;
    QTest::newRow("match, upper case") << true << digest.toUpper() << QStringLiteral("Accepted") << CheckState::Ok;
    QTest::newRow("tagged") << true << QStringLiteral("sha256:") + digest << QStringLiteral("Accepted")
                            << CheckState::Ok;
    QTest::newRow("wrong digest") << true << QString(64, QLatin1Char('a')) << QStringLiteral("Accepted")
                                  << CheckState::Mismatch;
}

// Typed into the paste field and entered, as a user does; the answer beside it, and the row's state.
void TestCheckWindow::paste()
{
    QFETCH(bool, loadFirst);
    QFETCH(QString, typed);
    const QString path = m_files.write(QStringLiteral("pasted.bin"), kContent);
    CheckWindowRig rig;
    if (loadFirst) {
        rig.window->takeFile(path);
        QVERIFY(rig.waitIdle());
    }
    QLineEdit* field = rig.find<QLineEdit>("txtPaste");
    QTest::keyClicks(field, typed);
    QTest::keyClick(field, Qt::Key_Return);
    QFETCH(QString, answer);
    QVERIFY2(rig.find<QLabel>("lblPasteAnswer")->text().startsWith(answer),
             qPrintable(rig.find<QLabel>("lblPasteAnswer")->text()));
    if (!loadFirst) {
        QCOMPARE(rig.window->model().size(), 0);
        return;
    }
    QFETCH(CheckState, state);
    QTRY_COMPARE(rig.window->model().row(rig.window->model().size() - 1).state, state);
}

void TestCheckWindow::answersAtOnce_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("atOnce");
    const QString sha = QString::fromLatin1(sha256Hex(kContent));
    QString typo = sha;
    typo[10] = typo[10] == u'a' ? u'b' : u'a';
    QTest::newRow("pasted into an empty field") << QString() << sha << true;
    QTest::newRow("pasted after a prefix of it") << sha.left(20) << sha << true;
    QTest::newRow("pasted over a typo") << typo << sha << true;
    QTest::newRow("pasted over a longer digest") << sha + sha << sha.left(40) << true;
    QTest::newRow("its last digit typed") << sha.chopped(1) << sha << false;
    QTest::newRow("8 digits typed: a CRC-32 on the way") << sha.left(7) << sha.left(8) << false;
    QTest::newRow("a digit deleted down to SHA-224's length") << sha.left(57) << sha.left(56) << false;
    QTest::newRow("a digit typed over a selected one") << typo << sha << true;
    QTest::newRow("pasted, not a digest") << QString() << QStringLiteral("hello world") << false;
    QTest::newRow("pasted, 63 digits") << QString() << sha.left(63) << false;
    QTest::newRow("nothing changed") << sha << sha << false;
}

// What a paste or a drop puts in is answered at once; typing waits for Enter.
void TestCheckWindow::answersAtOnce()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(bool, atOnce);
    QCOMPARE(::answersAtOnce(before, after), atOnce);
}

void TestCheckWindow::pastedFromTheClipboard_data()
{
    QTest::addColumn<QString>("copied");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<CheckState>("state");
    const QString digest = QString::fromLatin1(sha256Hex(kContent));
    QString colons = QStringLiteral("sha256:") + digest.left(2);
    for (qsizetype i = 2; i < digest.size(); i += 2) {
        colons += u':' + digest.mid(i, 2);
    }
    const QString accepted = QStringLiteral("Accepted: \u201cpasted.bin\u201d is checked against this digest.");
    // As web pages copy them.
    QTest::newRow("trailing no-break space") << digest + QChar(0x00A0) << accepted << CheckState::Ok;
    QTest::newRow("leading zero-width space") << QChar(0x200B) + digest << accepted << CheckState::Ok;
    QTest::newRow("single-space line") << digest + QStringLiteral(" pasted.bin") << accepted << CheckState::Ok;
    QTest::newRow("sha256: colon-separated") << colons << accepted << CheckState::Ok;
    QTest::newRow("wrong, answered at once") << QString(32, u'e') << accepted << CheckState::Mismatch;
    QTest::newRow("BLAKE2b-256 line")
        << QStringLiteral("BLAKE2b-256 (pasted.bin) = ") +
               QString::fromLatin1(QCryptographicHash::hash(kContent, QCryptographicHash::Blake2b_256).toHex())
        << accepted << CheckState::Ok;
    QTest::newRow("BLAKE2b-256, bare")
        << QString::fromLatin1(QCryptographicHash::hash(kContent, QCryptographicHash::Blake2b_256).toHex()) << accepted
        << CheckState::Ok;
}

// Pasted with the keyboard from the real clipboard: answered without Enter.
void TestCheckWindow::pastedFromTheClipboard()
{
    QFETCH(QString, copied);
    QFETCH(QString, answer);
    QFETCH(CheckState, state);
    CheckWindowRig rig;
    rig.window->takeFile(m_files.write(QStringLiteral("pasted.bin"), kContent));
    QVERIFY(rig.waitIdle());
    QGuiApplication::clipboard()->setText(copied);
    QLineEdit* field = rig.find<QLineEdit>("txtPaste");
    field->setFocus();
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(field->text(), copied);
    QCOMPARE(rig.find<QLabel>("lblPasteAnswer")->text(), answer);
    QTRY_COMPARE(rig.window->model().row(0).state, state);
    // A paste not checked leaves the digests computed for one in view.
    QCOMPARE(rig.window->model().size(), state == CheckState::NotCompared ? 5 : 1);
}

// Two lines as cloud storage tools show them, copied and pasted into the same window one after the other, then a
// third with its padding cut, which is no digest and leaves the last answer standing: each answer says the digest was
// read as base64, and as what.
void TestCheckWindow::cloudFormsPastedInTurn()
{
    CheckWindowRig rig;
    rig.window->takeFile(m_files.write(QStringLiteral("pasted.bin"), kContent));
    QVERIFY(rig.waitIdle());
    QLineEdit* field = rig.find<QLineEdit>("txtPaste");
    QLabel* answer = rig.find<QLabel>("lblPasteAnswer");
    const QString sha256Base64 =
        QString::fromLatin1(QCryptographicHash::hash(kContent, QCryptographicHash::Sha256).toBase64());
    const QString accepted = QStringLiteral("Accepted: \u201cpasted.bin\u201d is checked against this digest, read as "
                                            "base64 (%1).");
    struct Paste
    {
        QString copied;
        QString answer;
        CheckState state;
        QString algorithm;
    };
    // CRC-32C is not among the digests the first read computes: the window reads again for it. Its digest is
    // rhash --crc32c's.
    const std::vector<Paste> pastes{
        {QStringLiteral("\tHash (crc32c):\t\tnFhvWg=="), accepted.arg(QStringLiteral("CRC-32C")), CheckState::Ok,
         QStringLiteral("CRC-32C")},
        {QStringLiteral("x-amz-checksum-sha256: ") + sha256Base64, accepted.arg(QStringLiteral("SHA-256")),
         CheckState::Ok, QStringLiteral("SHA-256")},
        // A near miss withdraws the last answer: the rows go back to the digests computed, none of them compared.
        {QStringLiteral("nFhvWg="), QStringLiteral("Not understood: not a digest in any form this window knows."),
         CheckState::NotCompared, QStringLiteral("SHA-256")},
    };
    for (const Paste& paste : pastes) {
        QGuiApplication::clipboard()->setText(paste.copied);
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(field->text(), paste.copied);
        if (paste.answer.startsWith(QStringLiteral("Not understood"))) {
            QTest::keyClick(field, Qt::Key_Return); // what is no digest is answered on Enter alone
        }
        QCOMPARE(answer->text(), paste.answer);
        QVERIFY(rig.waitIdle());
        const CheckRow row = rig.window->model().row(0);
        QCOMPARE(row.state, paste.state);
        QCOMPARE(algorithmText(row), paste.algorithm);
        if (paste.state == CheckState::NotCompared) {
            QVERIFY(rig.window->model().size() > 1);
            QVERIFY(!row.note.startsWith(QStringLiteral("pasted")));
            continue;
        }
        QCOMPARE(rig.window->model().size(), 1); // each paste replaces the answer to the last
        QCOMPARE(row.note, QStringLiteral("pasted as base64"));
    }
}

// Typed, a digest passes shorter ones on its way: nothing is answered before Enter.
void TestCheckWindow::typedDigestWaitsForEnter()
{
    CheckWindowRig rig;
    rig.window->takeFile(m_files.write(QStringLiteral("typed.bin"), kContent));
    QVERIFY(rig.waitIdle());
    QLineEdit* field = rig.find<QLineEdit>("txtPaste");
    QTest::keyClicks(field, QString::fromLatin1(sha256Hex(kContent)));
    QTest::qWait(100);
    QCOMPARE(rig.find<QLabel>("lblPasteAnswer")->text(), QString());
    QCOMPARE(rig.window->model().row(0).state, CheckState::NotCompared); // still the row of the file alone
    QTest::keyClick(field, Qt::Key_Return);
    QTRY_COMPARE(rig.window->model().row(0).state, CheckState::Ok);
}

// A typo pasted, then the corrected digest pasted over it: the summary keeps no mismatch.
void TestCheckWindow::correctedPasteLeavesNoMismatch()
{
    CheckWindowRig rig;
    rig.window->takeFile(m_files.write(QStringLiteral("corrected.bin"), kContent));
    QVERIFY(rig.waitIdle());
    QLineEdit* field = rig.find<QLineEdit>("txtPaste");
    field->setFocus();
    QByteArray typo = sha256Hex(kContent);
    typo[10] = typo[10] == 'a' ? 'b' : 'a';
    for (const QByteArray& copied : {typo, sha256Hex(kContent)}) {
        QGuiApplication::clipboard()->setText(QString::fromLatin1(copied));
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        QTRY_VERIFY(!rig.window->session().isRunning());
    }
    QCOMPARE(rig.window->model().size(), 1);
    QTRY_COMPARE(rig.find<QLabel>("lblSummary")->text(), QStringLiteral("1 of 1 checked: 1 OK"));
}

// After a list or a comparison a paste is not checked, and the answer says which file it would be checked against.
void TestCheckWindow::pasteAfterAListOrAComparison()
{
    const QString first = m_files.write(QStringLiteral("first.bin"), kContent);
    const QString second = m_files.write(QStringLiteral("second.bin"), kContent);
    const QString list = m_files.write(QStringLiteral("after.sha256"), sha256Hex(kContent) + "  first.bin\n");
    CheckWindowRig rig;
    QLineEdit* field = rig.find<QLineEdit>("txtPaste");
    QLabel* answer = rig.find<QLabel>("lblPasteAnswer");
    rig.window->takeFile(list);
    QVERIFY(rig.waitIdle());
    QTest::keyClicks(field, QString::fromLatin1(sha256Hex(kContent)));
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY2(answer->text().startsWith(QStringLiteral("Not checked")) &&
                 answer->text().contains(QStringLiteral("\u201cafter.sha256\u201d")),
             qPrintable(answer->text()));
    rig.window->intake().compare(*nativePathFor(first), *nativePathFor(second));
    QVERIFY(rig.waitIdle());
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY2(answer->text().startsWith(QStringLiteral("Not checked")) &&
                 answer->text().contains(QStringLiteral("\u201cfirst.bin\u201d")),
             qPrintable(answer->text()));
    QCOMPARE(rig.window->model().size(), 2); // the comparison's rows, untouched
}

void TestCheckWindow::copyFromTheTableCopiesRows_data()
{
    QTest::addColumn<bool>("all");
    QTest::addColumn<QStringList>("rows"); // the report's lines of the rows copied, by name and verdict
    QTest::newRow("Ctrl+A") << true
                            << QStringList{"a.bin: OK (SHA-256)", "b.bin: MISMATCH (SHA-256)",
                                           "c.bin: missing (SHA-256)"};
    QTest::newRow("the first and the last") << false << QStringList{"a.bin: OK (SHA-256)", "c.bin: missing (SHA-256)"};
}

// Ctrl+C in the table copies the selected rows as the report writes them, each row once, not the current cell.
void TestCheckWindow::copyFromTheTableCopiesRows()
{
    QFETCH(bool, all);
    QFETCH(QStringList, rows);
    QVERIFY(QDir().mkpath(m_files.path("rows")));
    m_files.write("rows/a.bin", kContent);
    m_files.write("rows/b.bin", kContent);
    const QString list = m_files.write("rows/SHA256SUMS", sha256Hex(kContent) + "  a.bin\n" + sha256Hex("x") +
                                                              "  ./b.bin\n" + sha256Hex(kContent) + "  c.bin\n");
    CheckWindowRig rig;
    rig.window->takeFile(list);
    QVERIFY(rig.waitIdle());
    auto* table = rig.find<QTableView>("tblResults");
    table->setFocus();
    if (all) {
        QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
    } else {
        table->selectionModel()->select(table->model()->index(0, 1),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        table->selectionModel()->select(table->model()->index(2, 4), QItemSelectionModel::Select);
    }
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    QTRY_VERIFY(!QGuiApplication::clipboard()->text().isEmpty());
    QStringList expected;
    for (const QString& row : rows) {
        expected.append(m_files.path("rows/") + row);
    }
    // Each row's line and the lines indented under it; nothing of the summary or the header.
    QStringList copied;
    for (const QString& line : QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.startsWith(QLatin1Char(' '))) {
            copied.append(line);
        }
    }
    QCOMPARE(copied, expected);
}

void TestCheckWindow::copyResultsPutsTheReport()
{
    m_files.write("copied.bin", kContent);
    const QString list = m_files.write("copied.sha256", QByteArray(64, 'b') + "  copied.bin\n");
    CheckWindowRig rig;
    rig.window->takeFile(list);
    QVERIFY(rig.waitIdle());
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(rig.find<QPushButton>("cmdCopyResults"), Qt::LeftButton);
    // Written between the window's events, then put on the clipboard.
    QTRY_VERIFY(!QGuiApplication::clipboard()->text().isEmpty());
    const QString copied = QGuiApplication::clipboard()->text();
    QCOMPARE(copied, rig.window->session().report());
    QVERIFY2(copied.contains(QStringLiteral("copied.bin: MISMATCH")), qPrintable(copied));
    QVERIFY(copied.contains(QString::fromLatin1(sha256Hex(kContent))));
}

// A dialog that put U+FFFD for bytes it could not read names another file: refused and said, nothing checked.
void TestCheckWindow::dialogThatMangledTheNameIsRefused()
{
    CheckWindowRig rig;
    rig.fileDialog.answers = {QUrl::fromLocalFile(m_files.path(QStringLiteral("caf\uFFFD.bin")))};
    QTest::mouseClick(rig.find<QPushButton>("cmdChooseFile"), Qt::LeftButton);
    QCOMPARE(rig.window->session().mode(), CheckSession::Mode::Idle);
    QVERIFY(rig.find<QLabel>("lblSummary")->text().contains(QStringLiteral("exact name")));
}

void TestCheckWindow::cancelWhileAReadHangs()
{
    const QString path = m_files.write(QStringLiteral("gated.bin"), kContent);
    CheckWindowRig rig;
    rig.window->takeFile(path);
    QPushButton* cancel = rig.find<QPushButton>("cmdCancel");
    QTRY_VERIFY(cancel->isEnabled());
    // The size is known before the read: the bytes to go are shown while it hangs.
    QTRY_VERIFY2(rig.find<QLabel>("lblProgress")->text().contains(QStringLiteral(" of ")),
                 qPrintable(rig.find<QLabel>("lblProgress")->text()));
    QTest::mouseClick(cancel, Qt::LeftButton);
    QCOMPARE(rig.window->model().row(0).state, CheckState::Cancelled);
    QVERIFY(!cancel->isEnabled());
    QVERIFY(rig.find<QLabel>("lblSummary")->text().contains(QStringLiteral("cancelled")));
}

void TestCheckWindow::everyControlIsNamedAndEveryLabelPlain()
{
    CheckWindowRig rig;
    int controls = 0;
    for (QWidget* widget : rig.window->findChildren<QWidget*>()) {
        if (widget->objectName().contains(QRegularExpression(QStringLiteral("^(cmd|txt|chk|tbl|lst|bar|lbl)")))) {
            ++controls;
            // As a screen reader gets it: a label without a name of its own goes by its text.
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
            QVERIFY2(face && !face->text(QAccessible::Name).isEmpty(), qPrintable(widget->objectName()));
        }
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
        }
    }
    QCOMPARE(controls, 17);
}

void TestCheckWindow::droppedTogether_data()
{
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<QList<CheckState>>("states");
    QTest::addColumn<QString>("found");
    QVERIFY(QDir().mkpath(m_files.path("together/folder")));
    m_files.write("together/a.bin", kContent);
    m_files.write("together/b.bin", kContent);
    m_files.write("together/c.bin", "c\n");
    m_files.write("together/unpublished.bin", "u\n");
    m_files.write("together/a.bin.sha256", sha256Hex(kContent) + "  a.bin\n");
    m_files.write("together/b.bin.sha256", sha256Hex(kContent) + "  b.bin\n");
    m_files.write("together/c.bin.sha256", sha256Hex(kContent) + "  c.bin\n");
    using S = CheckState;
    QTest::newRow("two are compared") << QStringList{"a.bin", "b.bin"} << QList<S>{S::Identical, S::Identical}
                                      << QStringLiteral("The files are identical.");
    QTest::newRow("two that differ") << QStringList{"a.bin", "c.bin"} << QList<S>{S::Different, S::Different}
                                     << QStringLiteral("byte 1, counting from 1");
    QTest::newRow("three, each against its own")
        << QStringList{"a.bin", "b.bin", "c.bin"} << QList<S>{S::Ok, S::Ok, S::Mismatch}
        << QStringLiteral("b.bin.sha256");
    QTest::newRow("one with nothing beside it, one missing")
        << QStringList{"unpublished.bin", "a.bin", "absent.bin"} << QList<S>{S::NotCompared, S::Ok, S::Missing}
        << QStringLiteral("a.bin.sha256");
    QTest::newRow("a file and its checksum file")
        << QStringList{"a.bin", "a.bin.sha256"} << QList<S>{S::Ok} << QStringLiteral("a.bin.sha256");
    QTest::newRow("a checksum file among others") << QStringList{"a.bin", "c.bin", "a.bin.sha256"}
                                                  << QList<S>{S::Ok, S::Mismatch} << QStringLiteral("a.bin.sha256");
    QTest::newRow("a folder alone") << QStringList{"folder"} << QList<S>{S::Unreadable}
                                    << QStringLiteral("A folder cannot be checked. Drop a checksum file");
}

// Several files dropped at once: two are compared, more are each checked against what is published beside it, a
// row each; a folder is answered with what can be dropped.
void TestCheckWindow::droppedTogether()
{
    QFETCH(QStringList, dropped);
    QStringList paths;
    for (const QString& name : dropped) {
        paths.append(m_files.path("together/" + name));
    }
    CheckWindowRig rig;
    QSignalSpy finished(&rig.window->session(), &CheckSession::finished);
    QVERIFY(dropOn(rig.find<QLineEdit>("txtPaste"), filesData(paths)));
    QVERIFY(finished.wait(20'000));
    QFETCH(QList<CheckState>, states);
    QCOMPARE(rig.window->model().size(), states.size());
    for (qsizetype row = 0; row < states.size(); ++row) {
        QCOMPARE(rig.window->model().row(row).state, states[row]);
        const QByteArray name = QFile::encodeName(QFileInfo(paths[row]).fileName()); // in the order dropped
        QVERIFY(rig.window->model().row(row).name == name || rig.window->model().row(row).name.endsWith("/" + name));
    }
    QFETCH(QString, found);
    QVERIFY2(rig.find<QLabel>("lblFound")->text().contains(found), qPrintable(rig.find<QLabel>("lblFound")->text()));
    QVERIFY(rig.find<QLineEdit>("txtPaste")->text().isEmpty()); // the drop typed nothing
}

namespace {

// The delegate's view of a cell, as it is about to draw it.
struct ShownDigest : DigestDelegate
{
    QStyleOptionViewItem option(QTableView* view, const QModelIndex& index) const
    {
        QStyleOptionViewItem shown;
        shown.initFrom(view);
        initStyleOption(&shown, index);
        return shown;
    }
};

} // namespace

// A mismatch of SHA-512 at the window's own size: both digests in view, in a fixed-width font, elided in the middle
// so that both ends show; copied whole.
void TestCheckWindow::digestsReadableAndCopiedWhole()
{
    m_files.write("long.bin", kContent);
    const QString list = m_files.write("long.sha512", QByteArray(128, 'c') + "  long.bin\n");
    CheckWindowRig rig;
    rig.window->takeFile(list);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.window->model().row(0).state, CheckState::Mismatch);
    auto* view = rig.find<QTableView>("tblResults");
    const QModelIndex expected = view->model()->index(0, CheckModel::ExpectedColumn);
    const QModelIndex actual = view->model()->index(0, CheckModel::ActualColumn);
    for (const QModelIndex& index : {expected, actual}) {
        QVERIFY(qobject_cast<DigestDelegate*>(view->itemDelegateForIndex(index)));
        const QStyleOptionViewItem shown = ShownDigest().option(view, index);
        QCOMPARE(shown.textElideMode, Qt::ElideMiddle);
        QVERIFY(QFontInfo(shown.font).fixedPitch());
        QCOMPARE(shown.text.size(), 128); // the model's text is whole
        // In view at the window's own width, wide enough for both ends, too narrow for all 128 digits.
        const int left = view->columnViewportPosition(index.column());
        QVERIFY2(left >= 0 && left + view->columnWidth(index.column()) <= view->viewport()->width(),
                 qPrintable(QStringLiteral("%1 + %2 > %3")
                                .arg(left)
                                .arg(view->columnWidth(index.column()))
                                .arg(view->viewport()->width())));
        const QFontMetrics metrics(shown.font);
        QVERIFY(view->columnWidth(index.column()) >= metrics.horizontalAdvance(QString(16, u'0')));
        QVERIFY(view->columnWidth(index.column()) < metrics.horizontalAdvance(shown.text));
        QCOMPARE(index.data(Qt::ToolTipRole).toString(), shown.text);
    }
    QGuiApplication::clipboard()->clear();
    QApplication::setActiveWindow(rig.window.get());
    view->setFocus();
    view->setCurrentIndex(expected);
    QTest::keySequence(view, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString(128, u'c'));
}

// Made as small as it goes: the progress stays on one line, and the results keep rows in sight.
void TestCheckWindow::smallestWindowKeepsTheResults()
{
    const QString path = m_files.write(QStringLiteral("gated-small.bin"), kContent);
    m_files.write("gated-small.bin.sha256", sha256Hex(kContent) + "  gated-small.bin\n");
    CheckWindowRig rig;
    rig.window->takeFile(path);
    QLabel* progress = rig.find<QLabel>("lblProgress");
    QTRY_VERIFY(progress->text().contains(QStringLiteral(" of ")));
    rig.window->session().cancel(); // the figures below stay
    // As long as the figures make it: terabytes, a speed and hours left.
    CheckProgress figures;
    figures.totalBytes = quint64(1) << 42;
    figures.bytesDone = figures.totalBytes / 3;
    figures.bytesPerSecond = 123456789.0;
    figures.secondsLeft = 99999;
    progress->setText(progressText(figures));
    rig.window->resize(rig.window->minimumSizeHint());
    QTRY_COMPARE(rig.window->size(), rig.window->minimumSizeHint());
    QVERIFY2(progress->height() < 2 * progress->fontMetrics().lineSpacing(), qPrintable(progress->text()));
    // And whole: not cut at its end.
    QVERIFY2(progress->contentsRect().width() >= progress->fontMetrics().horizontalAdvance(progress->text()),
             qPrintable(QStringLiteral("%1 < %2")
                            .arg(progress->contentsRect().width())
                            .arg(progress->fontMetrics().horizontalAdvance(progress->text()))));
    auto* view = rig.find<QTableView>("tblResults");
    QVERIFY(!rig.find<QListWidget>("lstProblems")->isVisible()); // no problems: no empty box taking rows
    const int rows = view->viewport()->height() / view->verticalHeader()->defaultSectionSize();
    QVERIFY2(
        rows >= 5,
        qPrintable(QStringLiteral("%1 rows at %2x%3").arg(rows).arg(rig.window->width()).arg(rig.window->height())));
    // A longer progress text does not make the window wider than its controls need.
    const int before = rig.window->minimumSizeHint().width();
    progress->setText(QString(400, u'x'));
    QCOMPARE(rig.window->minimumSizeHint().width(), before);
}

// Tab and Shift+Tab leave the table; Escape cancels a running check; Cancel is reached with the keyboard.
void TestCheckWindow::keyboardLeavesTheTableAndCancels()
{
    m_files.write("keys.bin", kContent);
    m_files.write("gated-keys.bin", kContent);
    // A line not understood, so that the problems list is there to take the focus.
    const QString list = m_files.write("keys.sha256", sha256Hex(kContent) + "  keys.bin\n" + sha256Hex(kContent) +
                                                          "  gated-keys.bin\nnot a checksum line\n");
    CheckWindowRig rig;
    QApplication::setActiveWindow(rig.window.get());
    QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
    rig.window->takeFile(list);
    QTRY_COMPARE(rig.window->model().size(), qsizetype(2));
    auto* view = rig.find<QTableView>("tblResults");
    view->setFocus();
    view->setCurrentIndex(view->model()->index(0, 0));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), rig.find<QListWidget>("lstProblems"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), view);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    // Back to the control before it: the tick box is off while a list is checked, so the button before that.
    QCOMPARE(QApplication::focusWidget(), rig.find<QPushButton>("cmdPaste"));
    // From the table, Tab reaches Cancel while the check runs.
    QPushButton* cancel = rig.find<QPushButton>("cmdCancel");
    QVERIFY(rig.window->session().isRunning());
    view->setFocus();
    for (int i = 0; i < 3 && QApplication::focusWidget() != cancel; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(QApplication::focusWidget(), cancel);
    // Escape from wherever the focus is: the paste field here.
    rig.find<QLineEdit>("txtPaste")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!rig.window->session().isRunning());
    QCOMPARE(rig.window->model().row(1).state, CheckState::Cancelled);
    QVERIFY(rig.find<QLabel>("lblSummary")->text().contains(QStringLiteral("cancelled")));
    // Alt+C presses Cancel on a check started again.
    rig.window->takeFile(list);
    QTRY_VERIFY(cancel->isEnabled());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(!rig.window->session().isRunning()); // a mnemonic presses the button as a click would, shown briefly
}

// Over the accessibility interfaces a screen reader uses: each cell by its column and value, each label by its text.
void TestCheckWindow::cellsAndLabelsNamedForScreenReaders()
{
    m_files.write("spoken.bin", kContent);
    const QString list = m_files.write("spoken.sha256", QByteArray(64, 'd') + "  spoken.bin\n");
    CheckWindowRig rig;
    rig.window->takeFile(list);
    QVERIFY(rig.waitIdle());
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(rig.find<QTableView>("tblResults"));
    QVERIFY(table && table->tableInterface());
    const QStringList names{"File: spoken.bin",
                            "Algorithm: SHA-256",
                            "State: MISMATCH",
                            "Expected: " + QString(64, u'd'),
                            "Actual: " + QString::fromLatin1(sha256Hex(kContent)),
                            "Note: none"};
    for (int column = 0; column < CheckModel::ColumnCount; ++column) {
        QAccessibleInterface* cell = table->tableInterface()->cellAt(0, column);
        QVERIFY(cell);
        QCOMPARE(cell->text(QAccessible::Name), names[column]);
    }
    QVERIFY(table->tableInterface()->cellAt(0, 0)->text(QAccessible::Description).startsWith("spoken.bin, MISMATCH"));
    // Labels go by what they say, not by what they are.
    const QList<std::pair<const char*, QString>> labels{{"lblPaste", "Expected digest:"}, {"lblProblems", "Problems:"}};
    for (const auto& [name, text] : labels) {
        QAccessibleInterface* label = QAccessible::queryAccessibleInterface(rig.find<QLabel>(name));
        QVERIFY(label);
        QCOMPARE(label->text(QAccessible::Name), text);
    }
}

void TestCheckWindow::nothingPublishedSaysWhatIsComputed_data()
{
    QTest::addColumn<QByteArray>("sidecar"); // app.iso.sha256's content; empty for none
    QTest::addColumn<QString>("found");
    const QString computed = QStringLiteral(
        "Computed SHA-256, SHA-512, SHA-1, MD5 and CRC-32: paste a digest to check the file against them.");
    QTest::newRow("nothing beside it") << QByteArray() << "No published digests found beside the file. " + computed;
    QTest::newRow("a digest cut short") << sha256Hex(kContent).left(63)
                                        << "No published digest beside the file could be used; see the problems. " +
                                               computed;
}

// With nothing to check against, the window says which digests it computed for a paste, and shows each for copying.
void TestCheckWindow::nothingPublishedSaysWhatIsComputed()
{
    QFETCH(QByteArray, sidecar);
    QFETCH(QString, found);
    const QString folder = QStringLiteral("computed-%1").arg(QTest::currentDataTag()).replace(u' ', u'-');
    QVERIFY(QDir().mkpath(m_files.path(folder)));
    const QString file = m_files.write(folder + "/app.iso", kContent);
    if (!sidecar.isEmpty()) {
        m_files.write(folder + "/app.iso.sha256", sidecar + '\n');
    }
    CheckWindowRig rig;
    rig.window->takeFile(file);
    QVERIFY(rig.waitIdle());
    QCOMPARE(rig.find<QLabel>("lblFound")->text(), found);
    QCOMPARE(rig.cell(0, CheckModel::AlgorithmColumn), QStringLiteral("SHA-256"));
    QVERIFY(rig.cell(0, CheckModel::ActualColumn).remove(u' ').contains(QString::fromLatin1(sha256Hex(kContent))));
    QCOMPARE(rig.find<QListWidget>("lstProblems")->count(), sidecar.isEmpty() ? 0 : 1);
    // Digests computed are no verdict: the summary does not call them checked.
    const QString summary = rig.find<QLabel>("lblSummary")->text();
    QVERIFY2(
        summary.startsWith(QStringLiteral("0 of %1 compared: nothing to compare with").arg(rig.window->model().size())),
        qPrintable(summary));
}

// A read without progress says so, without a speed or a time left that it cannot keep.
void TestCheckWindow::stalledProgressSaysSo()
{
    CheckProgress progress;
    progress.totalBytes = 2048;
    progress.bytesDone = 1024;
    progress.stalledSeconds = 5;
    const QString text = progressText(progress);
    QVERIFY2(text.endsWith(QStringLiteral(", no progress for 5 s")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("left")) && !text.contains(QStringLiteral("/s")), qPrintable(text));
}

QTEST_MAIN(TestCheckWindow)
#include "TestCheckWindow.moc"
