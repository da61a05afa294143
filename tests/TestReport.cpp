#include "Report.h"

#include <QTest>

namespace {

// Rows with every label and the given values; ticked as listed by row number.
QList<ReportRow> rowsOf(const QStringList& values, const QList<int>& ticked = {})
{
    QList<ReportRow> rows;
    for (int i = 0; i < 10; ++i) {
        rows.append({kReportLabels[static_cast<std::size_t>(i)], values.value(i), ticked.contains(i)});
    }
    return rows;
}

const QStringList kFull{"a b.txt",
                        "/tmp/a b.txt",
                        "3/5/2026 2:07:09 PM",
                        "3/6/2026 9:00:00 AM",
                        "3/5/2026",
                        "1234",
                        "cbf43926",
                        "900150983cd24fb0d6963f7d28e17f72",
                        "a9993e364706816aba3e25717850c26c9cd0d89d",
                        "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"};

// Written out by hand, line by line, so the builder is checked against the text a user pastes.
const QString kFullReport = "File Name: a b.txt\r\n"
                            "File Path: /tmp/a b.txt\r\n"
                            "Created Date: 3/5/2026 2:07:09 PM\r\n"
                            "Last Accessed: 3/6/2026 9:00:00 AM\r\n"
                            "Last Modified: 3/5/2026\r\n"
                            "File Size: 1234\r\n"
                            "CRC32 Digest: cbf43926\r\n"
                            "MD5 Hash: 900150983cd24fb0d6963f7d28e17f72\r\n"
                            "SHA-1 Hash: a9993e364706816aba3e25717850c26c9cd0d89d\r\n"
                            "SHA-256 Hash: ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\r\n";

} // namespace

Q_DECLARE_METATYPE(ReportScope)

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void reportsByteForByte_data();
    void reportsByteForByte();
};

void TestReport::reportsByteForByte_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<ReportScope>("scope");
    QTest::addColumn<QString>("report");

    QTest::newRow("all rows empty") << QStringList{} << QList<int>{} << ReportScope::AllRows
                                    << "File Name: \r\nFile Path: \r\nCreated Date: \r\nLast Accessed: \r\n"
                                       "Last Modified: \r\nFile Size: \r\nCRC32 Digest: \r\nMD5 Hash: \r\n"
                                       "SHA-1 Hash: \r\nSHA-256 Hash: \r\n";
    QTest::newRow("all rows full") << kFull << QList<int>{} << ReportScope::AllRows << kFullReport;
    QTest::newRow("ticks do not narrow copy all") << kFull << QList<int>{7} << ReportScope::AllRows << kFullReport;
    QTest::newRow("size and md5 ticked, in the rows' order")
        << kFull << QList<int>{7, 5} << ReportScope::TickedRows
        << "File Size: 1234\r\nMD5 Hash: 900150983cd24fb0d6963f7d28e17f72\r\n";
    QTest::newRow("nothing ticked") << kFull << QList<int>{} << ReportScope::TickedRows << "";
    QTest::newRow("all ticked is copy all")
        << kFull << QList<int>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0} << ReportScope::TickedRows << kFullReport;
    QTest::newRow("first and last only") << kFull << QList<int>{0, 9} << ReportScope::TickedRows
                                         << "File Name: a b.txt\r\nSHA-256 Hash: "
                                            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\r\n";
    QTest::newRow("typed values kept as they are")
        << QStringList{"  two\nlines  ", "tab\there", "", "", "", "", "Calculating ...", "Waiting ..."}
        << QList<int>{0, 1, 6, 7} << ReportScope::TickedRows
        << "File Name:   two\nlines  \r\nFile Path: tab\there\r\nCRC32 Digest: Calculating ...\r\n"
           "MD5 Hash: Waiting ...\r\n";
    QTest::newRow("unicode and markup untouched")
        << QStringList{QStringLiteral("caf\u00e9 <b>&amp;</b> \U0001F600")} << QList<int>{0} << ReportScope::TickedRows
        << QStringLiteral("File Name: caf\u00e9 <b>&amp;</b> \U0001F600\r\n");
}

void TestReport::reportsByteForByte()
{
    QFETCH(QStringList, values);
    QFETCH(QList<int>, ticked);
    QFETCH(ReportScope, scope);
    QFETCH(QString, report);
    QCOMPARE(buildReport(rowsOf(values, ticked), scope), report);
}

QTEST_APPLESS_MAIN(TestReport)
#include "TestReport.moc"
