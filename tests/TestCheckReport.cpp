#include "CheckModel.h"
#include "CheckReport.h"
#include "ReportCopy.h"

#include <optional>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// The report's names read back as a reader would, by the rule the report states: a name starting with a backslash
// has \\, \n, \r and \xHH undone, any other is the UTF-8 of its text. Nothing for text that breaks the rule.
std::optional<QByteArray> undoReportName(const QString& text)
{
    if (!text.startsWith(QLatin1Char('\\'))) {
        return text.toUtf8();
    }
    const QByteArray escaped = text.mid(1).toUtf8();
    QByteArray name;
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\') {
            name += escaped[i];
            continue;
        }
        const char next = i + 1 < escaped.size() ? escaped[i + 1] : '\0';
        if (next == '\\' || next == 'n' || next == 'r') {
            name += next == '\\' ? '\\' : next == 'n' ? '\n' : '\r';
            ++i;
        } else if (next == 'x' && i + 3 < escaped.size()) {
            bool ok = false;
            name += static_cast<char>(escaped.mid(i + 2, 2).toUInt(&ok, 16));
            if (!ok) {
                return std::nullopt;
            }
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return name;
}

CheckRow rowNamed(const QByteArray& name, CheckState state = CheckState::Ok)
{
    CheckRow row;
    row.name = name;
    row.state = state;
    row.algorithm = HashAlgorithm::Sha256;
    row.candidates = AlgorithmSet{HashAlgorithm::Sha256};
    return row;
}

} // namespace

class TestCheckReport : public QObject
{
    Q_OBJECT

private slots:
    void namesReadBackAsWritten_data();
    void namesReadBackAsWritten();
    void entriesByTheirFullPaths_data();
    void entriesByTheirFullPaths();
    void copyIsWrittenBetweenEvents();
    void copyOfRowsClearedIsDropped();
};

// One scheme for every name: GNU's escaping where it suffices, \xHH only for bytes it cannot carry, and the row
// says when those are there; each written name reads back to the bytes it stands for.
void TestCheckReport::namesReadBackAsWritten_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("carriesBytes");
    QTest::newRow("plain") << QByteArray("a b.txt") << "a b.txt" << false;
    QTest::newRow("UTF-8") << QByteArray("caf\xc3\xa9.txt") << QString::fromUtf8("caf\xc3\xa9.txt") << false;
    QTest::newRow("backslash") << QByteArray("a\\b") << "\\a\\\\b" << false;
    QTest::newRow("line feed") << QByteArray("two\nlines") << "\\two\\nlines" << false;
    QTest::newRow("carriage return") << QByteArray("cr\r") << "\\cr\\r" << false;
    QTest::newRow("not UTF-8") << QByteArray("caf\xe9") << "\\caf\\xE9" << true;
    // The text \xE9 in a name is four characters, not the byte: its backslash is escaped.
    QTest::newRow("the text \\xE9") << QByteArray("caf\\xE9") << "\\caf\\\\xE9" << false;
    QTest::newRow("all at once") << QByteArray("\xff\\\n") << "\\\\xFF\\\\\\n" << true;
    QTest::newRow("a name that is a backslash") << QByteArray("\\") << "\\\\\\" << false;
}

void TestCheckReport::namesReadBackAsWritten()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, written);
    QFETCH(bool, carriesBytes);
    QCOMPARE(reportName(name), written);
    QCOMPARE(reportNameCarriesBytes(name), carriesBytes);
    QCOMPARE(undoReportName(written), std::optional<QByteArray>(name));

    // In a report, the row that carries bytes says so on the line after it.
    CheckModel model;
    model.append({rowNamed(name)});
    const QStringList lines = checkReport({}, model, {}).split(QLatin1Char('\n'));
    QCOMPARE(lines.value(2), written + ": OK (SHA-256)");
    QCOMPARE(lines.value(3).contains(QStringLiteral("written as \\xHH")), carriesBytes);
}

void TestCheckReport::entriesByTheirFullPaths_data()
{
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain") << QByteArray("/d/") << QByteArray("a.txt") << "/d/a.txt";
    QTest::newRow("dot slash") << QByteArray("/d/") << QByteArray("./a.txt") << "/d/a.txt";
    QTest::newRow("climbs back") << QByteArray("/d/") << QByteArray("sub/../a.txt") << "/d/a.txt";
    QTest::newRow("climbs out") << QByteArray("/d/") << QByteArray("../a.txt") << "/d/../a.txt";
    QTest::newRow("absolute") << QByteArray("/d/") << QByteArray("/e/a.txt") << "/e/a.txt";
    QTest::newRow("no folder") << QByteArray() << QByteArray("./a.txt") << "./a.txt";
    // The escape marks the whole path, the folder's backslash included.
    QTest::newRow("escaped") << QByteArray("/d\\x/") << QByteArray("a\nb") << "\\/d\\\\x/a\\nb";
}

void TestCheckReport::entriesByTheirFullPaths()
{
    QFETCH(QByteArray, folder);
    QFETCH(QByteArray, name);
    QFETCH(QString, written);
    QCOMPARE(reportEntryName(folder, name), written);
    CheckModel model;
    model.append({rowNamed(name)});
    QCOMPARE(checkReport({}, model, {}, {}, 0, folder).split(QLatin1Char('\n')).value(2), written + ": OK (SHA-256)");
}

// The report of many rows comes a slice at a time, the thread's other events running between slices, and it is the
// report written at once.
void TestCheckReport::copyIsWrittenBetweenEvents()
{
    CheckModel model;
    std::vector<CheckRow> rows;
    for (int i = 0; i < 200'000; ++i) {
        rows.push_back(rowNamed("file" + QByteArray::number(i), i % 7 == 0 ? CheckState::Missing : CheckState::Ok));
    }
    model.append(std::move(rows));
    const QStringList problems{QStringLiteral("Line 9 could not be understood.")};
    ReportCopy copy(model, 2);
    QSignalSpy written(&copy, &ReportCopy::written);
    int beats = 0;
    QTimer beat;
    beat.setInterval(0);
    connect(&beat, &QTimer::timeout, this, [&beats] { ++beats; });
    beat.start();
    copy.start(std::make_unique<ReportText>(QStringList{"Checksum list: /d/SUMS"}, model, problems,
                                            std::vector<bool>{true}, 0, "/d/"));
    QVERIFY(copy.isWriting());
    QCOMPARE(written.count(), 0);
    QVERIFY(written.wait(60'000));
    QVERIFY2(beats > 3, qPrintable(QString::number(beats)));
    QCOMPARE(written.first().first().toString(),
             checkReport({"Checksum list: /d/SUMS"}, model, problems, {true}, 0, "/d/"));
    QVERIFY(!copy.isWriting());
}

void TestCheckReport::copyOfRowsClearedIsDropped()
{
    CheckModel model;
    std::vector<CheckRow> rows(100'000, rowNamed("same"));
    model.append(std::move(rows));
    ReportCopy copy(model, 1);
    QSignalSpy written(&copy, &ReportCopy::written);
    copy.start(std::make_unique<ReportText>(QStringList{}, model, QStringList{}));
    model.clear();
    QVERIFY(!copy.isWriting());
    QTest::qWait(100);
    QCOMPARE(written.count(), 0);
    // A copy started afresh is written.
    model.append({rowNamed("again")});
    copy.start(std::make_unique<ReportText>(QStringList{}, model, QStringList{}));
    QVERIFY(written.wait());
    QVERIFY(written.first().first().toString().contains(QStringLiteral("\nagain: OK")));
}

QTEST_GUILESS_MAIN(TestCheckReport)
#include "TestCheckReport.moc"
