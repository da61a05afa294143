// Names that a person would read as one another, drawn as the window's rows draw them: what is drawn must differ.

#include "NativePath.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QTest>

class TestLookAlikeNames : public QObject
{
    Q_OBJECT

private slots:
    void drawnApart_data();
    void drawnApart();
};

void TestLookAlikeNames::drawnApart_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::newRow("variation selector 16") << QByteArray("a") << QByteArray("a\xef\xb8\x8f");
    QTest::newRow("Mongolian free variation selector") << QByteArray("a") << QByteArray("a\xe1\xa0\x8b");
    QTest::newRow("last supplementary variation selector") << QByteArray("a") << QByteArray("a\xf3\xa0\x87\xaf");
    QTest::newRow("Khmer inherent vowel") << QByteArray("a") << QByteArray("a\xe1\x9e\xb5");
    QTest::newRow("trailing space") << QByteArray("a") << QByteArray("a ");
    QTest::newRow("leading space in a path") << QByteArray("/d/a") << QByteArray("/d/ a");
    QTest::newRow("right-to-left name, digit moved, in a path")
        << QByteArray("/d/\xd7\x90 1.txt") << QByteArray("/d/1 \xd7\x90.txt");
    QTest::newRow("right-to-left name, digit moved, alone")
        << QByteArray("\xd7\x90 1.txt") << QByteArray("1 \xd7\x90.txt");
    QTest::newRow("right-to-left folder moves no other name")
        << QByteArray("/\xd7\x90/\xd7\x91 2/x") << QByteArray("/\xd7\x90 2/\xd7\x91/x");
    QTest::newRow("Arabic digits beside a right-to-left name")
        << QByteArray("/\xd8\xa8/\xd9\xa1") << QByteArray("/\xd9\xa1/\xd8\xa8");
}

// Each text in a line edit like the window's rows, with the application's font, drawn offscreen.
void TestLookAlikeNames::drawnApart()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    const auto drawn = [](const QByteArray& native) {
        QLineEdit row;
        row.resize(400, row.sizeHint().height());
        row.setText(displayTextForPath(textForNativePath(native)));
        row.setCursorPosition(0);
        row.clearFocus();
        return row.grab().toImage();
    };
    QVERIFY(drawn(first) == drawn(first)); // drawing itself is the same each time
    QVERIFY2(drawn(first) != drawn(second), qPrintable(displayTextForPath(textForNativePath(second))));
}

QTEST_MAIN(TestLookAlikeNames)
#include "TestLookAlikeNames.moc"
