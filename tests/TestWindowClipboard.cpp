// The copy buttons, "Copy All" and "Copy Selected", clicked for real, read back from the real clipboard.

#include "TempFiles.h"
#include "WindowRig.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(ResultRow)

class TestWindowClipboard : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void copyButtonCopiesTheBareValue_data();
    void copyButtonCopiesTheBareValue();
    void copyAllAndCopySelectedOfAnAnalysedFile();
    void copySelectedWithNothingTickedCopiesNothing();
    void copyDuringAnAnalysisCopiesThePlaceholders();
    void rightToLeftNameIsCopiedAsItIsWritten();

private:
    frmMain& window() { return m_rig->window; }
    void click(const QString& name) { QTest::mouseClick(window().findChild<QWidget*>(name), Qt::LeftButton); }
    static QString clipboardText() { return QGuiApplication::clipboard()->text(); }

    TempFiles m_files;
    std::unique_ptr<WindowRig> m_rig;
};

void TestWindowClipboard::init()
{
    m_rig = std::make_unique<WindowRig>();
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    // Something else on the clipboard, with a second format that must not survive a copy.
    auto* earlier = new QMimeData;
    earlier->setText(QStringLiteral("earlier"));
    earlier->setHtml(QStringLiteral("<b>earlier</b>"));
    QGuiApplication::clipboard()->setMimeData(earlier);
}

void TestWindowClipboard::cleanup()
{
    m_rig.reset();
}

void TestWindowClipboard::copyButtonCopiesTheBareValue_data()
{
    QTest::addColumn<ResultRow>("row");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("value");
    QTest::newRow("file name") << ResultRow::FileName << "cmdCopyFileName"
                               << " name with blanks ";
    QTest::newRow("file path") << ResultRow::FilePath << "cmdCopyFilePath"
                               << "/tmp/a \"quoted\" <b>path</b>";
    QTest::newRow("created") << ResultRow::CreatedDate << "cmdCopyCreatedDate"
                             << "3/5/2026 2:07:09 PM";
    QTest::newRow("accessed") << ResultRow::LastAccessed << "cmdCopyLastAccessed"
                              << "3/6/2026";
    QTest::newRow("modified") << ResultRow::LastModified << "cmdCopyLastMod"
                              << "typed by hand";
    QTest::newRow("size") << ResultRow::FileSize << "cmdCopyFileSize"
                          << "5368709127";
    QTest::newRow("crc32") << ResultRow::Crc32 << "cmdCopyCRC32"
                           << "00e7ddce";
    QTest::newRow("md5") << ResultRow::Md5 << "cmdCopyMD5"
                         << "Waiting ...";
    QTest::newRow("sha1") << ResultRow::Sha1 << "cmdCopySha1"
                          << "Calculating ...";
    QTest::newRow("sha256 left empty") << ResultRow::Sha256 << "cmdCopySha256"
                                       << "";
}

void TestWindowClipboard::copyButtonCopiesTheBareValue()
{
    QFETCH(ResultRow, row);
    QFETCH(QString, button);
    QFETCH(QString, value);
    window().textBox(row)->setText(value);
    QSignalSpy changes(QGuiApplication::clipboard(), &QClipboard::dataChanged);
    click(button);
    QCOMPARE(clipboardText(), value);
    QCOMPARE(changes.size(), 1); // replaced in one change, never emptied on the way
    // Plain text alone: the earlier owner's other format was cleared with it.
    QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasHtml());
}

void TestWindowClipboard::copyAllAndCopySelectedOfAnAnalysedFile()
{
    const QString file = m_files.write(QStringLiteral("report me.txt"), "The quick brown fox");
    window().session().TakeInputPath(file);
    QTRY_COMPARE(window().textBox(ResultRow::Sha256)->text(), firstWordOf("sha256sum", {file}));
    const QString md5 = firstWordOf("md5sum", {file});

    // Ticked in the other order than the rows stand in: the report keeps the rows' order.
    QTest::mouseClick(window().tickBox(ResultRow::Md5), Qt::LeftButton);
    QTest::mouseClick(window().tickBox(ResultRow::FileSize), Qt::LeftButton);
    click(QStringLiteral("cmdCopySel"));
    QCOMPARE(clipboardText(), "File Size: 19\r\nMD5 Hash: " + md5 + "\r\n");

    click(QStringLiteral("cmdCopyAll"));
    const auto shown = [&](ResultRow row) { return window().textBox(row)->text(); };
    QCOMPARE(clipboardText(), "File Name: report me.txt\r\n"
                              "File Path: " +
                                  file +
                                  "\r\n"
                                  "Created Date: " +
                                  shown(ResultRow::CreatedDate) +
                                  "\r\n"
                                  "Last Accessed: " +
                                  shown(ResultRow::LastAccessed) +
                                  "\r\n"
                                  "Last Modified: " +
                                  shown(ResultRow::LastModified) +
                                  "\r\n"
                                  "File Size: 19\r\n"
                                  "CRC32 Digest: " +
                                  firstWordOf("rhash", {"--printf=%c", file}) +
                                  "\r\n"
                                  "MD5 Hash: " +
                                  md5 +
                                  "\r\n"
                                  "SHA-1 Hash: " +
                                  firstWordOf("sha1sum", {file}) +
                                  "\r\n"
                                  "SHA-256 Hash: " +
                                  firstWordOf("sha256sum", {file}) + "\r\n");

    // Every row ticked: Copy Selected is Copy All.
    for (ResultRow row : kAllRows) {
        window().tickBox(row)->setChecked(true);
    }
    const QString all = clipboardText();
    QGuiApplication::clipboard()->setText(QStringLiteral("something else"));
    click(QStringLiteral("cmdCopySel"));
    QCOMPARE(clipboardText(), all);
}

void TestWindowClipboard::copySelectedWithNothingTickedCopiesNothing()
{
    window().textBox(ResultRow::Md5)->setText(QStringLiteral("not ticked"));
    click(QStringLiteral("cmdCopySel"));
    QCOMPARE(clipboardText(), QString());
}

void TestWindowClipboard::copyDuringAnAnalysisCopiesThePlaceholders()
{
    const QString hanging = m_files.write(QStringLiteral("busy.hang"), "busy");
    window().session().TakeInputPath(hanging);
    QTRY_COMPARE(m_rig->gate->arrivals(), 1);
    click(QStringLiteral("cmdCopyAll"));
    QVERIFY2(clipboardText().endsWith(QStringLiteral("File Size: 4\r\nCRC32 Digest: Calculating ...\r\n"
                                                     "MD5 Hash: Waiting ...\r\nSHA-1 Hash: Waiting ...\r\n"
                                                     "SHA-256 Hash: Waiting ...\r\n")),
             qPrintable(clipboardText()));
    click(QStringLiteral("cmdCopyCRC32"));
    QCOMPARE(clipboardText(), QStringLiteral("Calculating ..."));
}

// The rows draw each name of a right-to-left path in an isolate of its own; what is copied is the path as written.
void TestWindowClipboard::rightToLeftNameIsCopiedAsItIsWritten()
{
    QVERIFY(QDir().mkpath(m_files.path(QStringLiteral("\u05d0"))));
    const QString file = m_files.write(QStringLiteral("\u05d0/\u05d1 1.txt"), "x");
    window().session().TakeInputPath(file);
    QTRY_COMPARE(window().textBox(ResultRow::FileName)->text(), QStringLiteral("\u2068\u05d1 1.txt\u2069"));
    QVERIFY(window()
                .textBox(ResultRow::FilePath)
                ->text()
                .endsWith(QStringLiteral("/\u2068\u05d0\u2069/\u2068\u05d1 1.txt\u2069")));
    click(QStringLiteral("cmdCopyFilePath"));
    QCOMPARE(clipboardText(), file);
    click(QStringLiteral("cmdCopyFileName"));
    QCOMPARE(clipboardText(), QStringLiteral("\u05d1 1.txt"));
    window().tickBox(ResultRow::FileName)->setChecked(true);
    window().tickBox(ResultRow::FilePath)->setChecked(true);
    click(QStringLiteral("cmdCopySel"));
    QCOMPARE(clipboardText(), QStringLiteral("File Name: \u05d1 1.txt\r\nFile Path: ") + file + QStringLiteral("\r\n"));
    click(QStringLiteral("cmdCopyAll"));
    QVERIFY(clipboardText().startsWith(QStringLiteral("File Name: \u05d1 1.txt\r\nFile Path: ") + file +
                                       QStringLiteral("\r\n")));
}

QTEST_MAIN(TestWindowClipboard)
#include "TestWindowClipboard.moc"
