#include "CheckModel.h"
#include "CheckReport.h"

#include <algorithm>
#include <QTest>

Q_DECLARE_METATYPE(CheckState)

namespace {

CheckRow rowNamed(const QByteArray& name, CheckState state = CheckState::Ok)
{
    CheckRow row;
    row.name = name;
    row.state = state;
    row.algorithm = HashAlgorithm::Sha256;
    row.candidates = AlgorithmSet{HashAlgorithm::Sha256};
    return row;
}

QString cell(const CheckModel& model, int row, int column, int role = Qt::DisplayRole)
{
    return model.data(model.index(row, column), role).toString();
}

} // namespace

class TestCheckModel : public QObject
{
    Q_OBJECT

private slots:
    void stateCountsFollowEveryChange();
    void namesAsPlainText_data();
    void namesAsPlainText();
    void everyStateHasWordsAndAnIcon_data();
    void everyStateHasWordsAndAnIcon();
    void mismatchShowsBothDigests();
    void actualSaysWhoseDigestItIs_data();
    void actualSaysWhoseDigestItIs();
    void outsideFolderIsMarked();
    void eachCellIsNamedByColumnAndValue();
};

void TestCheckModel::namesAsPlainText_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("inReport");

    QTest::newRow("markup") << QByteArray("<b>bold</b> &amp; <img src=x>.iso") << "<b>bold</b> &amp; <img src=x>.iso"
                            << "<b>bold</b> &amp; <img src=x>.iso";
    QTest::newRow("Latin-1 byte") << QByteArray("caf\xe9.txt") << QStringLiteral("caf\\xE9.txt")
                                  << QStringLiteral("\\caf\\xE9.txt");
    QTest::newRow("UTF-8") << QByteArray("\xc3\xa9t\xc3\xa9 \xf0\x9f\x93\xa6")
                           << QStringLiteral("\u00e9t\u00e9 \U0001F4E6") << QStringLiteral("\u00e9t\u00e9 \U0001F4E6");
    QTest::newRow("overlong form") << QByteArray("a\xc0\xaf"
                                                 "b")
                                   << QStringLiteral("a\\xC0\\xAFb") << QStringLiteral("\\a\\xC0\\xAFb");
    // Shown with the blanks at its ends escaped; the report's name is the checksum line's, blanks as they are.
    QTest::newRow("spaces at both ends") << QByteArray("  x  ") << "\\x20\\x20x\\x20\\x20"
                                         << "  x  ";
    QTest::newRow("right-to-left, isolated when shown only")
        << QByteArray("\xd7\x90 1.iso") << QStringLiteral("\u2068\u05d0 1.iso\u2069") << QStringLiteral("\u05d0 1.iso");
    QTest::newRow("variation selector") << QByteArray("a\xef\xb8\x8f") << QStringLiteral("a\\xEF\\xB8\\x8F")
                                        << QStringLiteral("\\a\\xEF\\xB8\\x8F");
    // A line feed would let a name forge a row of the report; escaped there as checksum lines escape it.
    QTest::newRow("line feed") << QByteArray("a.iso: OK\nb") << "a.iso: OK\\x0Ab"
                               << "\\a.iso: OK\\nb";
    QTest::newRow("backslash") << QByteArray("c:\\x") << "c:\\\\x"
                               << "\\c:\\\\x";
    QTest::newRow("carriage return") << QByteArray("r\rs") << "r\\x0Ds"
                                     << "\\r\\rs";
}

void TestCheckModel::namesAsPlainText()
{
    QFETCH(QByteArray, name);
    QFETCH(QString, shown);
    QFETCH(QString, inReport);
    CheckModel model;
    model.append({rowNamed(name)});
    QCOMPARE(cell(model, 0, CheckModel::NameColumn), shown);
    QCOMPARE(model.data(model.index(0, 0), CheckModel::NameBytesRole).toByteArray(), name);
    QVERIFY(cell(model, 0, 0, Qt::AccessibleDescriptionRole).startsWith(shown + ", OK"));
    const QString report = checkReport({}, model, {});
    // The summary comes first, then a blank line, then the rows.
    QVERIFY2(report.startsWith("1 of 1 checked: 1 OK\n\n" + inReport + ": OK (SHA-256)\n"), qPrintable(report));
    QCOMPARE(reportName(name), inReport);
}

void TestCheckModel::everyStateHasWordsAndAnIcon_data()
{
    QTest::addColumn<CheckState>("state");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("settled");
    using S = CheckState;
    QTest::newRow("waiting") << S::Waiting << "waiting" << false;
    QTest::newRow("checking") << S::Checking << "checking 42%" << false;
    QTest::newRow("ok") << S::Ok << "OK" << true;
    QTest::newRow("mismatch") << S::Mismatch << "MISMATCH" << true;
    QTest::newRow("missing") << S::Missing << "missing" << true;
    QTest::newRow("unreadable") << S::Unreadable << "unreadable" << true;
    QTest::newRow("changed") << S::Changed << "changed while being read" << true;
    QTest::newRow("open for writing") << S::BeingWritten << "open for writing" << true;
    QTest::newRow("cancelled") << S::Cancelled << "cancelled" << true;
    QTest::newRow("not compared") << S::NotCompared << "not compared" << true;
    QTest::newRow("identical") << S::Identical << "identical" << true;
    QTest::newRow("different") << S::Different << "different" << true;
}

void TestCheckModel::everyStateHasWordsAndAnIcon()
{
    QFETCH(CheckState, state);
    QFETCH(QString, text);
    QFETCH(bool, settled);
    CheckModel model;
    CheckRow row = rowNamed("f", state);
    row.percent = 42;
    model.append({row});
    QCOMPARE(cell(model, 0, CheckModel::StateColumn), text);
    QCOMPARE(isSettled(state), settled);
    const QString icon = cell(model, 0, CheckModel::StateColumn, Qt::DecorationRole);
    QVERIFY(!icon.isEmpty());
    QCOMPARE(cell(model, 0, CheckModel::NameColumn, CheckModel::IconNameRole), icon);
    QVERIFY(cell(model, 0, CheckModel::NameColumn, Qt::DecorationRole).isEmpty()); // one icon per row
    QVERIFY(cell(model, 0, 0, Qt::AccessibleDescriptionRole).contains(text));
    QCOMPARE(model.data(model.index(0, 0), CheckModel::StateRole).toInt(), static_cast<int>(state));
}

void TestCheckModel::mismatchShowsBothDigests()
{
    CheckModel model;
    CheckRow mismatch = rowNamed("f", CheckState::Mismatch);
    mismatch.expected = QByteArray::fromHex("00ff");
    mismatch.actual = QByteArray::fromHex("abcd");
    CheckRow ok = mismatch;
    ok.state = CheckState::Ok;
    CheckRow candidates = mismatch;
    candidates.algorithm.reset();
    candidates.candidates = AlgorithmSet{HashAlgorithm::Sha256, HashAlgorithm::Sha3_256};
    model.append({mismatch, ok, candidates});
    QCOMPARE(cell(model, 0, CheckModel::ExpectedColumn), "00ff");
    QCOMPARE(cell(model, 0, CheckModel::ActualColumn), "abcd");
    QCOMPARE(cell(model, 0, 0, Qt::AccessibleDescriptionRole), "f, MISMATCH, SHA-256, expected 00ff, actual abcd");
    QCOMPARE(cell(model, 1, CheckModel::ExpectedColumn), QString()); // only a mismatch shows them
    QCOMPARE(cell(model, 2, CheckModel::AlgorithmColumn), "SHA-256 or SHA3-256");
    const QString report = checkReport({}, model, {});
    QVERIFY(report.contains("f: MISMATCH (SHA-256)\n    expected: 00ff\n    actual:   abcd\n"));
}

// The Actual cell holds a digest to copy on every row that has one, an OK row's included, and a mismatch whose
// expected digest had several candidates says which algorithm its Actual is, in the window and in the report.
void TestCheckModel::actualSaysWhoseDigestItIs_data()
{
    QTest::addColumn<CheckState>("state");
    QTest::addColumn<QByteArray>("actual");
    QTest::addColumn<int>("candidates"); // SHA-256 alone, or with SHA3-256 and BLAKE3
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("reported"); // the report's actual line, or none
    const QString whose = QStringLiteral("Actual is the SHA-256 digest; no candidate matches");
    QTest::newRow("OK from a list") << CheckState::Ok << QByteArray() << 1 << "00ff"
                                    << ""
                                    << "";
    QTest::newRow("OK with its digest kept") << CheckState::Ok << QByteArray::fromHex("00ff") << 3 << "00ff"
                                             << ""
                                             << "";
    QTest::newRow("mismatch of one algorithm") << CheckState::Mismatch << QByteArray::fromHex("abcd") << 1 << "abcd"
                                               << ""
                                               << "    actual:   abcd";
    QTest::newRow("mismatch of three candidates") << CheckState::Mismatch << QByteArray::fromHex("abcd") << 3 << "abcd"
                                                  << whose << "    actual:   abcd (SHA-256)";
    QTest::newRow("missing") << CheckState::Missing << QByteArray() << 3 << ""
                             << ""
                             << "";
}

void TestCheckModel::actualSaysWhoseDigestItIs()
{
    QFETCH(CheckState, state);
    QFETCH(QByteArray, actual);
    QFETCH(int, candidates);
    QFETCH(QString, shown);
    QFETCH(QString, note);
    QFETCH(QString, reported);
    CheckRow row = rowNamed("f", state);
    row.expected = QByteArray::fromHex("00ff");
    row.actual = actual;
    if (candidates > 1) {
        row.algorithm.reset();
        row.candidates = AlgorithmSet{HashAlgorithm::Sha256, HashAlgorithm::Sha3_256, HashAlgorithm::Blake3};
    }
    CheckModel model;
    model.append({row});
    QCOMPARE(cell(model, 0, CheckModel::ActualColumn), shown);
    QCOMPARE(cell(model, 0, CheckModel::NoteColumn), note);
    const QStringList lines = checkReport({}, model, {}).split(QLatin1Char('\n'));
    const auto actualLine =
        std::find_if(lines.begin(), lines.end(), [](const QString& line) { return line.startsWith("    actual:"); });
    QCOMPARE(actualLine == lines.end() ? QString() : *actualLine, reported);
}

void TestCheckModel::outsideFolderIsMarked()
{
    const struct
    {
        QByteArray name;
        bool outside;
    } table[] = {
        {"a/b", false},
        {"..", true},
        {"../x", true},
        {"a/../../x", true},
        {"a/..b", false},
        {"..x", false},
        {"/etc/shadow", true},
        {"./x", false},
        // A ".." that takes back a step of the name stays in the folder; one above it does not.
        {"a//..", false},
        {"sub/../a.txt", false},
        {"a/./../b", false},
        {"a/../..", true},
        {"./../x", true},
    };
    for (const auto& entry : table) {
        QVERIFY2(leadsOutsideFolder(entry.name) == entry.outside, entry.name.constData());
    }
    const struct
    {
        QByteArray name;
        QByteArray lexical;
    } names[] = {
        {"a.txt", "a.txt"}, {"./a.txt", "a.txt"},  {"sub/../a.txt", "a.txt"}, {"sub//a", "sub/a"},
        {"/x/../y", "/y"},  {"../a/../b", "../b"}, {"a/b/../../..", "../"},   {"/..", "/"},
        {"a/./b/", "a/b"},  {"x/..y", "x/..y"},
    };
    for (const auto& entry : names) {
        QCOMPARE(lexicalName(entry.name), entry.lexical);
    }
    CheckModel model;
    CheckRow row = rowNamed("../x");
    row.outsideFolder = true;
    row.note = QStringLiteral("Permission denied");
    model.append({row});
    QCOMPARE(cell(model, 0, CheckModel::NoteColumn), "outside the list's folder; Permission denied");
    QVERIFY(model.data(model.index(0, 0), CheckModel::OutsideFolderRole).toBool());
    QVERIFY(cell(model, 0, 0, Qt::AccessibleDescriptionRole).contains("outside the list's folder"));
    QVERIFY(checkReport({}, model, {}).contains("\n    outside the list's folder\n"));
}

// A screen reader names each cell by its column and value; the row as a whole is said once, by its first cell.
void TestCheckModel::eachCellIsNamedByColumnAndValue()
{
    CheckModel model;
    CheckRow row = rowNamed("<b>f</b>.iso", CheckState::Mismatch);
    row.expected = QByteArray::fromHex("00ff");
    row.actual = QByteArray::fromHex("abcd");
    row.note = QStringLiteral("from f.sha256, line 2");
    model.append({row, rowNamed("g")});
    const QStringList names{"File: <b>f</b>.iso", "Algorithm: SHA-256", "State: MISMATCH",
                            "Expected: 00ff",     "Actual: abcd",       "Note: from f.sha256, line 2"};
    for (int column = 0; column < CheckModel::ColumnCount; ++column) {
        QCOMPARE(cell(model, 0, column, Qt::AccessibleTextRole), names[column]);
        QCOMPARE(cell(model, 0, column, Qt::AccessibleDescriptionRole).isEmpty(), column != 0);
    }
    QCOMPARE(cell(model, 1, CheckModel::ExpectedColumn, Qt::AccessibleTextRole), "Expected: none");
    QCOMPARE(cell(model, 1, 0, Qt::AccessibleDescriptionRole), "g, OK, SHA-256");
}

// The summary's counts are kept as rows come, change and go, and always equal a count of the rows.
void TestCheckModel::stateCountsFollowEveryChange()
{
    CheckModel model;
    const auto agrees = [&model] {
        for (int state = 0; state <= static_cast<int>(CheckState::Different); ++state) {
            qsizetype counted = 0;
            for (qsizetype i = 0; i < model.size(); ++i) {
                counted += static_cast<int>(model.row(i).state) == state ? 1 : 0;
            }
            if (model.count(static_cast<CheckState>(state)) != counted) {
                return false;
            }
        }
        return true;
    };
    std::vector<CheckRow> rows(5);
    rows[1].state = CheckState::Ok;
    rows[2].state = CheckState::Missing;
    model.append(rows);
    QVERIFY(agrees());
    QCOMPARE(model.count(CheckState::Waiting), qsizetype(3));
    model.update(0, 3, [](CheckRow& row, qsizetype index) {
        row.state = index % 2 == 0 ? CheckState::Mismatch : CheckState::Stalled;
    });
    QVERIFY(agrees());
    QCOMPARE(model.count(CheckState::Mismatch), qsizetype(2));
    model.removeRow(1);
    QVERIFY(agrees());
    QCOMPARE(checkSummary(model, 0), QStringLiteral("2 of 4 checked: 2 MISMATCH, 1 waiting on the file system, "
                                                    "1 waiting"));
    model.clear();
    QVERIFY(agrees());
    QCOMPARE(model.count(CheckState::Mismatch), qsizetype(0));
}

QTEST_GUILESS_MAIN(TestCheckModel)
#include "TestCheckModel.moc"
