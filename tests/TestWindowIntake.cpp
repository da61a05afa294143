// Files handed to the window by a drop on any of its targets or through "Browse...".

#include "ControlNames.h"
#include "Drops.h"
#include "TempFiles.h"
#include "WindowRig.h"

#include <fcntl.h>
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <unistd.h>

namespace {

// The window's bare background and its 44 visible controls.
const QStringList kDropTargets = QStringList{"frmMain", "imgTitle"} + ControlNames::labels + ControlNames::textBoxes +
                                 ControlNames::copyButtons + ControlNames::tickBoxes + ControlNames::bottomButtons;

} // namespace

class TestWindowIntake : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dropOnAnyTargetAnalysesAndDoesNothingElse_data();
    void dropOnAnyTargetAnalysesAndDoesNothingElse();
    void onlyTheFirstLocalFileIsTaken();
    void droppedFolderGetsTheFolderMessage();
    void dropWithoutALocalFileIsIgnored_data();
    void dropWithoutALocalFileIsIgnored();
    void droppedNameWithATrailingBlankIsThatFile();
    void droppedNameThatIsNotUtf8IsThatFile();
    void dropIsACopyWhateverTheSourceProposes_data();
    void dropIsACopyWhateverTheSourceProposes();
    void dropDuringAnAnalysisSupersedesIt();
    void nothingOfADragOutlivesIt_data();
    void nothingOfADragOutlivesIt();
    void aMessageDuringADragEndsWhatWasJudged();
    void browseAnalysesTheChosenFile();
    void cancelledBrowseKeepsWhatIsShown();
    void browsedNameThatIsNotUtf8IsThatFileOrNone_data();
    void browsedNameThatIsNotUtf8IsThatFileOrNone();

private:
    frmMain& window() { return m_rig->window; }
    QString row(ResultRow row) { return window().textBox(row)->text(); }

    TempFiles m_files;
    std::unique_ptr<WindowRig> m_rig;
};

void TestWindowIntake::init()
{
    m_rig = std::make_unique<WindowRig>();
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
}

void TestWindowIntake::cleanup()
{
    m_rig.reset();
}

void TestWindowIntake::dropOnAnyTargetAnalysesAndDoesNothingElse_data()
{
    QTest::addColumn<QString>("target");
    for (const QString& target : kDropTargets) {
        QTest::newRow(qPrintable(target)) << target;
    }
}

void TestWindowIntake::dropOnAnyTargetAnalysesAndDoesNothingElse()
{
    QFETCH(QString, target);
    QCOMPARE(kDropTargets.size(), 45);
    QWidget* widget = target == u"frmMain" ? &window() : window().findChild<QWidget*>(target);
    QVERIFY(widget);
    const QString file = m_files.write(QStringLiteral("dropped on ") + target, "dropped");
    QGuiApplication::clipboard()->setText(QStringLiteral("the user's own clipboard"));
    const qsizetype windowsBefore = QApplication::topLevelWidgets().size();
    auto* edit = qobject_cast<QLineEdit*>(widget);
    auto* button = qobject_cast<QAbstractButton*>(widget);
    QSignalSpy edited(edit ? static_cast<QObject*>(edit) : this,
                      edit ? SIGNAL(textEdited(QString)) : SIGNAL(destroyed()));
    QSignalSpy clicked(button ? static_cast<QObject*>(button) : this, button ? SIGNAL(clicked()) : SIGNAL(destroyed()));

    QVERIFY(dropOn(widget, filesData({file})));
    QTRY_COMPARE(row(ResultRow::Sha256), firstWordOf("sha256sum", {file}));
    QCOMPARE(row(ResultRow::FileName), QStringLiteral("dropped on ") + target);
    QCOMPARE(window().session().currentPath(), file);
    QCOMPARE(edited.size(), 0);  // no text inserted into a text box
    QCOMPARE(clicked.size(), 0); // no button pressed, no tick changed
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("the user's own clipboard"));
    QCOMPARE(QApplication::topLevelWidgets().size(), windowsBefore); // no dialog, no About window
    QVERIFY(m_rig->messages.texts.isEmpty());
    QVERIFY(m_rig->fileDialog.titles.isEmpty());
}

void TestWindowIntake::onlyTheFirstLocalFileIsTaken()
{
    const QString first = m_files.write(QStringLiteral("first of three"), "1");
    const QString second = m_files.write(QStringLiteral("second of three"), "22");
    const QString third = m_files.write(QStringLiteral("third of three"), "333");
    dropOn(window().textBox(ResultRow::Md5), filesData({first, second, third}));
    QTRY_COMPARE(row(ResultRow::FileName), QStringLiteral("first of three"));
    QCOMPARE(window().session().argList(), QStringList{first});

    // A web link ahead of the file is passed over: the first local file is what the user dragged.
    auto* mixed = new QMimeData;
    mixed->setUrls({QUrl(QStringLiteral("https://example.org/page.html")), QUrl::fromLocalFile(third)});
    dropOn(&window(), mixed);
    QTRY_COMPARE(row(ResultRow::FileName), QStringLiteral("third of three"));
}

void TestWindowIntake::droppedFolderGetsTheFolderMessage()
{
    const QString folder = m_files.path(QStringLiteral("a folder"));
    QVERIFY(QDir().mkpath(folder));
    window().tickBox(ResultRow::Md5)->setChecked(true);
    dropOn(window().findChild<QWidget*>(QStringLiteral("lblMD5")), filesData({folder}));
    QTRY_COMPARE(m_rig->messages.texts.size(), 1);
    QVERIFY(m_rig->messages.texts.front().startsWith(QStringLiteral("Folder selection detected.")));
    QCOMPARE(window().session().currentPath(), folder);
    QVERIFY(!window().tickBox(ResultRow::Md5)->isChecked());
}

void TestWindowIntake::dropWithoutALocalFileIsIgnored_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("text from an editor") << "text";
    QTest::newRow("a web link") << "link";
    QTest::newRow("an empty list") << "empty";
    QTest::newRow("a list of comments only") << "comments";
    QTest::newRow("a relative file URL") << "relative";
    QTest::newRow("a host that is no host") << "unreadable host";
    QTest::newRow("a name with a NUL byte") << "nul";
}

void TestWindowIntake::dropWithoutALocalFileIsIgnored()
{
    QFETCH(QString, kind);
    const QString file = m_files.write(QStringLiteral("shown before"), "shown");
    window().session().TakeInputPath(file);
    QTRY_COMPARE(row(ResultRow::Sha256), firstWordOf("sha256sum", {file}));
    window().tickBox(ResultRow::Sha1)->setChecked(true);

    auto* data = new QMimeData;
    if (kind == u"text") {
        data->setText(file); // a path as text is still text, not a file handed over
    } else if (kind == u"link") {
        data->setUrls({QUrl(QStringLiteral("https://example.org/file.txt"))});
    } else if (kind == u"empty") {
        data->setUrls({});
    } else if (kind == u"relative") {
        data->setData(QStringLiteral("text/uri-list"), "file:shown%20before\r\n");
    } else if (kind == u"unreadable host") {
        // Qt leaves such a URL invalid and its host empty, which once passed for this machine's file.
        data->setData(QStringLiteral("text/uri-list"), "file://a..b" + QUrl::toPercentEncoding(file, "/") + "\r\n");
    } else if (kind == u"nul") {
        data->setData(QStringLiteral("text/uri-list"), "file://" + QUrl::toPercentEncoding(file, "/") + "%00\r\n");
    } else {
        data->setData(QStringLiteral("text/uri-list"), "# nothing but a comment\r\n");
    }
    // Dropped on the ticked box itself: its tick must stay.
    QVERIFY(!dropOn(window().tickBox(ResultRow::Sha1), data));
    QTest::qWait(20);
    QCOMPARE(row(ResultRow::FileName), QStringLiteral("shown before"));
    QCOMPARE(row(ResultRow::Sha256), firstWordOf("sha256sum", {file}));
    QVERIFY(window().tickBox(ResultRow::Sha1)->isChecked());
    QVERIFY(m_rig->messages.texts.isEmpty());
}

// On Linux a name may end in a blank; trimming it would show the namesake's digests.
void TestWindowIntake::droppedNameWithATrailingBlankIsThatFile()
{
    const QString plain = m_files.write(QStringLiteral("report.txt"), "the namesake");
    const QString blank = m_files.write(QStringLiteral("report.txt "), "the file dropped");
    dropOn(window().textBox(ResultRow::FilePath), filesData({blank}));
    QTRY_COMPARE(row(ResultRow::Md5), firstWordOf("md5sum", {blank}));
    QCOMPARE(row(ResultRow::FileName), QStringLiteral("report.txt\\x20")); // its blank shown, not read as none
    QCOMPARE(row(ResultRow::FileSize), QStringLiteral("16"));
    QVERIFY(row(ResultRow::Md5) != firstWordOf("md5sum", {plain}));
}

// File managers percent-encode a Latin-1 name's bytes in the URL; decoded as text they would name its namesake.
void TestWindowIntake::droppedNameThatIsNotUtf8IsThatFile()
{
    m_files.write(QStringLiteral("caf\ufffd.txt"), "the namesake");
    const QByteArray latin1 = QFile::encodeName(m_files.path(QString())) + "/caf\xe9.txt";
    const int descriptor = ::open(latin1.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QVERIFY(descriptor >= 0);
    QCOMPARE(::write(descriptor, "latin-1 name", 12), ssize_t{12});
    ::close(descriptor);

    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/uri-list"),
                  "file://" +
                      QUrl::toPercentEncoding(QFile::decodeName(QFile::encodeName(m_files.path(QString()))), "/") +
                      "/caf%E9.txt\r\n");
    QVERIFY(dropOn(window().textBox(ResultRow::Sha1), data));
    QTRY_COMPARE(row(ResultRow::FileSize), QStringLiteral("12"));
    QCOMPARE(row(ResultRow::FileName), QStringLiteral("caf\\xE9.txt")); // not its namesake's "caf\ufffd.txt"
    QTRY_COMPARE(row(ResultRow::Md5), QStringLiteral("09fb6100cf8bb621424254d6420d2540")); // md5sum's answer
    ::unlink(latin1.constData()); // Qt's own file functions cannot name it to clean up
}

void TestWindowIntake::dropIsACopyWhateverTheSourceProposes_data()
{
    QTest::addColumn<Qt::DropAction>("proposed");
    QTest::newRow("copy") << Qt::CopyAction;
    QTest::newRow("move") << Qt::MoveAction;
    QTest::newRow("link") << Qt::LinkAction;
}

// The file is only read: a source told "move" might delete it once the drop is done.
void TestWindowIntake::dropIsACopyWhateverTheSourceProposes()
{
    QFETCH(Qt::DropAction, proposed);
    const QString file = m_files.write(QStringLiteral("keep me"), "kept");
    Qt::DropAction agreed = Qt::IgnoreAction;
    QVERIFY(dropOn(window().textBox(ResultRow::Md5), filesData({file}), proposed, &agreed));
    QCOMPARE(agreed, Qt::CopyAction);
    QTRY_COMPARE(row(ResultRow::FileName), QStringLiteral("keep me"));
}

void TestWindowIntake::dropDuringAnAnalysisSupersedesIt()
{
    const QString hanging = m_files.write(QStringLiteral("slow.hang"), "never read");
    const QString next = m_files.write(QStringLiteral("next"), "next one");
    window().session().TakeInputPath(hanging);
    QTRY_COMPARE(m_rig->gate->arrivals(), 1);
    dropOn(window().copyButton(ResultRow::Crc32), filesData({next}));
    QTRY_COMPARE(row(ResultRow::Sha1), firstWordOf("sha1sum", {next}));
    QCOMPARE(row(ResultRow::FileName), QStringLiteral("next"));
    // The superseded read ends now; nothing of it may reach the rows.
    m_rig->gate->open();
    QTRY_COMPARE(DigestRun::liveWorkers(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(row(ResultRow::FileName), QStringLiteral("next"));
    QCOMPARE(row(ResultRow::Md5), firstWordOf("md5sum", {next}));
}

void TestWindowIntake::nothingOfADragOutlivesIt_data()
{
    QTest::addColumn<QString>("earlier");
    QTest::addColumn<bool>("dropped");
    QTest::newRow("a file dragged across and away") << "file" << false;
    QTest::newRow("text dragged across and away") << "text" << false;
    QTest::newRow("a web link dragged across and away") << "link" << false;
    QTest::newRow("text dropped and refused") << "text" << true;
    QTest::newRow("a file dropped") << "file" << true;
}

// The X11 platform hands every drag from another program over in one and the same data object: what an earlier drag
// carried must neither be analysed on a later drop nor make a later file be refused.
void TestWindowIntake::nothingOfADragOutlivesIt()
{
    QFETCH(QString, earlier);
    QFETCH(bool, dropped);
    QVERIFY(QDir().mkpath(m_files.path(QStringLiteral("old"))) && QDir().mkpath(m_files.path(QStringLiteral("new"))));
    const QString oldFile = m_files.write(QStringLiteral("old/setup.bin"), "the file dragged first");
    const QString newFile = m_files.write(QStringLiteral("new/setup.bin"), "the file dropped last");
    const auto centreOf = [this](const char* control) {
        QWidget* widget = window().findChild<QWidget*>(QString::fromLatin1(control));
        return widget->mapTo(&window(), widget->rect().center());
    };
    QMimeData data;
    const WindowDrag drag{window().windowHandle(), &data};
    QVERIFY(drag.window);

    if (earlier == u"file") {
        data.setUrls({QUrl::fromLocalFile(oldFile)});
    } else if (earlier == u"text") {
        data.setText(oldFile);
    } else {
        data.setUrls({QUrl(QStringLiteral("https://example.org/setup.bin"))});
    }
    QCOMPARE(drag.enterAt(centreOf("lblFileName")), earlier == u"file");
    QCOMPARE(drag.moveTo(centreOf("txtMD5")), earlier == u"file"); // on to another control
    if (dropped) {
        drag.dropAt(centreOf("txtMD5"));
    } else {
        drag.leave();
    }
    if (earlier == u"file" && dropped) {
        QTRY_COMPARE(row(ResultRow::Sha256), firstWordOf("sha256sum", {oldFile}));
    }

    data.clear();
    data.setUrls({QUrl::fromLocalFile(newFile)});
    QVERIFY(drag.enterAt(centreOf("txtSha1")));
    drag.dropAt(centreOf("txtSha1"));
    QTRY_COMPARE(row(ResultRow::Sha256), firstWordOf("sha256sum", {newFile}));
    QCOMPARE(row(ResultRow::FilePath), newFile);
    QCOMPARE(row(ResultRow::Md5), firstWordOf("md5sum", {newFile}));
    QVERIFY(m_rig->messages.texts.isEmpty());
}

// A modal message swallows the leaving of a drag that was over the window; the next drag may then come in without
// entering the window again, in the same data object.
void TestWindowIntake::aMessageDuringADragEndsWhatWasJudged()
{
    const QString oldFile = m_files.write(QStringLiteral("dragged when the message came"), "old");
    const QString newFile = m_files.write(QStringLiteral("dropped after the message"), "new");
    QWidget* md5 = window().textBox(ResultRow::Md5);
    const QPoint at = md5->mapTo(&window(), md5->rect().center());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(oldFile)});
    const WindowDrag drag{window().windowHandle(), &data};
    QVERIFY(drag.enterAt(at));
    {
        QDialog message(&window());
        message.setModal(true);
        message.show();
        QVERIFY(QTest::qWaitForWindowExposed(&message));
    }
    data.clear();
    data.setUrls({QUrl::fromLocalFile(newFile)});
    QVERIFY(drag.moveTo(at));
    drag.dropAt(at);
    QTRY_COMPARE(row(ResultRow::Sha256), firstWordOf("sha256sum", {newFile}));
    QCOMPARE(row(ResultRow::FilePath), newFile);
}

void TestWindowIntake::browseAnalysesTheChosenFile()
{
    const QString file = m_files.write(QStringLiteral("chosen one.txt"), "chosen");
    m_rig->fileDialog.answers = {QUrl::fromLocalFile(file)};
    QTest::mouseClick(window().findChild<QWidget*>(QStringLiteral("cmdBrowse")), Qt::LeftButton);
    QCOMPARE(m_rig->fileDialog.titles, QStringList{"Select a File to Hash"});
    QCOMPARE(m_rig->fileDialog.owners, QList<QWidget*>{&window()});
    QTRY_COMPARE(row(ResultRow::FileName), QStringLiteral("chosen one.txt"));
    QTRY_COMPARE(row(ResultRow::Crc32), firstWordOf("rhash", {"--printf=%c", file}));
    QCOMPARE(window().session().argList(), QStringList{file});
}

void TestWindowIntake::cancelledBrowseKeepsWhatIsShown()
{
    const QString file = m_files.write(QStringLiteral("chosen before"), "before");
    m_rig->fileDialog.answers = {QUrl::fromLocalFile(file), QUrl()};
    QWidget* browse = window().findChild<QWidget*>(QStringLiteral("cmdBrowse"));
    QTest::mouseClick(browse, Qt::LeftButton);
    QTRY_COMPARE(row(ResultRow::Sha256), firstWordOf("sha256sum", {file}));
    window().tickBox(ResultRow::FileSize)->setChecked(true);

    QTest::mouseClick(browse, Qt::LeftButton); // cancelled
    QTest::qWait(20);
    QCOMPARE(m_rig->fileDialog.titles.size(), 2);
    QCOMPARE(row(ResultRow::FileName), QStringLiteral("chosen before"));
    QCOMPARE(row(ResultRow::Sha256), firstWordOf("sha256sum", {file}));
    QVERIFY(window().tickBox(ResultRow::FileSize)->isChecked());
    QVERIFY(m_rig->messages.texts.isEmpty());
}

void TestWindowIntake::browsedNameThatIsNotUtf8IsThatFileOrNone_data()
{
    QTest::addColumn<QByteArray>("answer"); // the name the dialog gives in the folder
    QTest::newRow("exact bytes") << QByteArray("caf%E9.txt");
    QTest::newRow("bytes replaced, as a dialog that reads names as UTF-8 gives them") << QByteArray("caf%EF%BF%BD.txt");
}

// "caf\xe9.txt" chosen beside "caf\ufffd.txt": the chosen file is analysed, or none, never its namesake.
void TestWindowIntake::browsedNameThatIsNotUtf8IsThatFileOrNone()
{
    QFETCH(QByteArray, answer);
    const QString before = m_files.write(QStringLiteral("shown before"), "before");
    window().session().TakeInputPath(before);
    QTRY_COMPARE(row(ResultRow::Sha256), firstWordOf("sha256sum", {before}));
    m_files.write(QStringLiteral("caf\ufffd.txt"), "the namesake");
    const QByteArray folder = QFile::encodeName(m_files.path(QString()));
    const QByteArray latin1 = folder + "/caf\xe9.txt";
    const int descriptor = ::open(latin1.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QVERIFY(descriptor >= 0);
    QCOMPARE(::write(descriptor, "latin-1 name", 12), ssize_t{12});
    ::close(descriptor);
    const auto removeLatin1 = qScopeGuard([&] { ::unlink(latin1.constData()); }); // Qt's own functions cannot

    m_rig->fileDialog.answers = {QUrl::fromEncoded("file://" + QUrl::toPercentEncoding(folder, "/") + "/" + answer)};
    QTest::mouseClick(window().findChild<QWidget*>(QStringLiteral("cmdBrowse")), Qt::LeftButton);
    if (answer.contains("%E9")) {
        QTRY_COMPARE(row(ResultRow::Md5), QStringLiteral("09fb6100cf8bb621424254d6420d2540")); // md5sum's answer
        QCOMPARE(row(ResultRow::FileName), QStringLiteral("caf\\xE9.txt"));
        QVERIFY(m_rig->messages.texts.isEmpty());
    } else {
        QCOMPARE(m_rig->messages.texts.size(), 1);
        QVERIFY2(m_rig->messages.texts.front().startsWith(QStringLiteral("The file dialog cannot give the exact name")),
                 qPrintable(m_rig->messages.texts.front()));
        QCOMPARE(row(ResultRow::FileName), QStringLiteral("shown before"));
        QCOMPARE(window().session().currentPath(), before);
    }
}

QTEST_MAIN(TestWindowIntake)
#include "TestWindowIntake.moc"
