#include "CheckArguments.h"
#include "CheckIntake.h"
#include "CheckTexts.h"
#include "Drops.h"
#include "FakeFileDialog.h"
#include "frmCheck.h"
#include "GatedReader.h"
#include "NativePath.h"
#include "QtClipboard.h"
#include "TempFiles.h"

#include <fcntl.h>
#include <QCheckBox>
#include <QClipboard>
#include <QCryptographicHash>
#include <QDir>
#include <QGuiApplication>
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
    void paste_data();
    void paste();
    void copyResultsPutsTheReport();
    void dialogThatMangledTheNameIsRefused();
    void cancelWhileAReadHangs();
    void everyControlIsNamedAndEveryLabelPlain();

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
    QTest::newRow("upper-case suffix") << QByteArray("/d/x.SHA256") << false;
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
                                       << QStringLiteral("byte 0");
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

void TestCheckWindow::copyResultsPutsTheReport()
{
    m_files.write("copied.bin", kContent);
    const QString list = m_files.write("copied.sha256", QByteArray(64, 'b') + "  copied.bin\n");
    CheckWindowRig rig;
    rig.window->takeFile(list);
    QVERIFY(rig.waitIdle());
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(rig.find<QPushButton>("cmdCopyResults"), Qt::LeftButton);
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
            QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
        }
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            QVERIFY2(label->textFormat() == Qt::PlainText, qPrintable(label->objectName()));
        }
    }
    QCOMPARE(controls, 17);
}

QTEST_MAIN(TestCheckWindow)
#include "TestCheckWindow.moc"
