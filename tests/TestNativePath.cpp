#include "NativePath.h"

#include <QHash>
#include <QTest>

class TestNativePath : public QObject
{
    Q_OBJECT

private slots:
    void namesSurviveTheRoundTrip_data();
    void namesSurviveTheRoundTrip();
    void shownNamesNeverReadAsAnother_data();
    void shownNamesNeverReadAsAnother();
    void lookAlikesShownApart_data();
    void lookAlikesShownApart();
    void copiedTextLeavesTheIsolatesOut_data();
    void copiedTextLeavesTheIsolatesOut();
    void textsThatNameNoFile_data();
    void textsThatNameNoFile();
};

void TestNativePath::namesSurviveTheRoundTrip_data()
{
    QTest::addColumn<QByteArray>("native");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("/tmp/a b.txt") << QStringLiteral("/tmp/a b.txt");
    QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9") << QStringLiteral("caf\u00e9");
    QTest::newRow("utf-8 outside the basic plane") << QByteArray("\xf0\x9f\x98\x80") << QStringLiteral("\U0001F600");
    QTest::newRow("latin-1 byte") << QByteArray("caf\xe9.txt") << QStringLiteral("caf\xdce9.txt");
    QTest::newRow("zero-width no-break space first in a sequence")
        << QByteArray("bom\xef\xbb\xbfx") << QStringLiteral("bom\ufeffx");
    QTest::newRow("replacement character is itself")
        << QByteArray("caf\xef\xbf\xbd.txt") << QStringLiteral("caf\ufffd.txt");
    QTest::newRow("lone continuation byte") << QByteArray("\x80x") << QStringLiteral("\xdc80x");
    QTest::newRow("sequence cut short at the end") << QByteArray("a\xe2\x82") << QStringLiteral("a\xdce2\xdc82");
    QTest::newRow("sequence cut short by ascii") << QByteArray("\xe2\x82z") << QStringLiteral("\xdce2\xdc82z");
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << QStringLiteral("\xdcc0\xdcaf");
    QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << QStringLiteral("\xdced\xdca0\xdc80");
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << QStringLiteral("\xdcf4\xdc90\xdc80\xdc80");
    QTest::newRow("highest code point") << QByteArray("\xf4\x8f\xbf\xbf") << QStringLiteral("\U0010FFFF");
    QTest::newRow("byte 0xff") << QByteArray("\xff") << QStringLiteral("\xdcff");
}

void TestNativePath::namesSurviveTheRoundTrip()
{
    QFETCH(QByteArray, native);
    QFETCH(QString, text);
    QCOMPARE(textForNativePath(native), text);
    QCOMPARE(nativePathFor(text), std::optional<QByteArray>(native));
}

void TestNativePath::shownNamesNeverReadAsAnother_data()
{
    QTest::addColumn<QByteArray>("native");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QByteArray("/tmp/a b.txt") << QStringLiteral("/tmp/a b.txt");
    QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9.txt") << QStringLiteral("caf\u00e9.txt");
    QTest::newRow("latin-1 byte") << QByteArray("caf\xe9.txt") << QStringLiteral("caf\\xE9.txt");
    QTest::newRow("its spelling, typed") << QByteArray("caf\\xE9.txt") << QStringLiteral("caf\\\\xE9.txt");
    QTest::newRow("replacement character") << QByteArray("caf\xef\xbf\xbd.txt") << QStringLiteral("caf\ufffd.txt");
    QTest::newRow("backslash alone") << QByteArray("dir\\name") << QStringLiteral("dir\\\\name");
    QTest::newRow("bytes at both ends") << QByteArray("\x80x\xff") << QStringLiteral("\\x80x\\xFF");
    QTest::newRow("backslash and a byte") << QByteArray("a\\\xe9") << QStringLiteral("a\\\\\\xE9");
    // Characters that cannot be seen, or that reorder the text around them, would show as another name.
    QTest::newRow("line feed") << QByteArray("new\nline.txt") << QStringLiteral("new\\x0Aline.txt");
    QTest::newRow("carriage return") << QByteArray("c\rr") << QStringLiteral("c\\x0Dr");
    QTest::newRow("tab") << QByteArray("a\tb") << QStringLiteral("a\\x09b");
    QTest::newRow("zero-width space") << QByteArray("zero\xe2\x80\x8bwidth")
                                      << QStringLiteral("zero\\xE2\\x80\\x8Bwidth");
    QTest::newRow("right-to-left override")
        << QByteArray("evil\xe2\x80\xaetxt.exe") << QStringLiteral("evil\\xE2\\x80\\xAEtxt.exe");
    QTest::newRow("outside the basic plane, hidden")
        << QByteArray("a\xf3\xa0\x80\x81") << QStringLiteral("a\\xF3\\xA0\\x80\\x81");
    QTest::newRow("outside the basic plane, seen") << QByteArray("\xf0\x9f\x98\x80") << QStringLiteral("\U0001F600");
    QTest::newRow("joiners, as scripts and emoji use them, stay")
        << QByteArray("\xd9\x85\xdb\x8c\xe2\x80\x8c\xd8\xae \xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x92\xbb")
        << QStringLiteral("\u2068\u0645\u06cc\u200c\u062e \U0001F469\u200d\U0001F4BB\u2069");
    QTest::newRow("zero-width no-break space")
        << QByteArray("bom\xef\xbb\xbfx") << QStringLiteral("bom\\xEF\\xBB\\xBFx");
    QTest::newRow("joiner after a Latin letter")
        << QByteArray("lat\xe2\x80\x8dzwj") << QStringLiteral("lat\\xE2\\x80\\x8Dzwj");
    QTest::newRow("no-break space") << QByteArray("a\xc2\xa0"
                                                  "b")
                                    << QStringLiteral("a\\xC2\\xA0b");
    QTest::newRow("blank letter") << QByteArray("a\xe3\x85\xa4"
                                                "b")
                                  << QStringLiteral("a\\xE3\\x85\\xA4b");
    QTest::newRow("unassigned") << QByteArray("a\xf0\xaf\xbf\xbf") << QStringLiteral("a\\xF0\\xAF\\xBF\\xBF");
    QTest::newRow("space at both ends") << QByteArray(" a ") << QStringLiteral("\\x20a\\x20");
    // Default-ignorable code points, drawn as nothing: variation selectors of every block, a Khmer inherent vowel.
    QTest::newRow("variation selector 16") << QByteArray("a\xef\xb8\x8f") << QStringLiteral("a\\xEF\\xB8\\x8F");
    QTest::newRow("Mongolian free variation selector")
        << QByteArray("a\xe1\xa0\x8b") << QStringLiteral("a\\xE1\\xA0\\x8B");
    QTest::newRow("last supplementary variation selector")
        << QByteArray("a\xf3\xa0\x87\xaf") << QStringLiteral("a\\xF3\\xA0\\x87\\xAF");
    QTest::newRow("Khmer inherent vowel") << QByteArray("a\xe1\x9e\xb5") << QStringLiteral("a\\xE1\\x9E\\xB5");
    QTest::newRow("Hangul filler") << QByteArray("a\xe1\x85\x9f") << QStringLiteral("a\\xE1\\x85\\x9F");
    QTest::newRow("soft hyphen") << QByteArray("a\xc2\xad") << QStringLiteral("a\\xC2\\xAD");
    // Spaces at the ends of each name of a path, not those inside one.
    QTest::newRow("spaces at the ends of names in a path")
        << QByteArray("/d /  x/a b/c ") << QStringLiteral("/d\\x20/\\x20\\x20x/a b/c\\x20");
    QTest::newRow("a name of spaces alone") << QByteArray("/d/  /e") << QStringLiteral("/d/\\x20\\x20/e");
    // Right-to-left text: each name of the path in an isolate of its own, the slashes outside.
    QTest::newRow("right-to-left name in a path")
        << QByteArray("/d/\xd7\x90 1.txt") << QStringLiteral("/\u2068d\u2069/\u2068\u05d0 1.txt\u2069");
    QTest::newRow("Arabic digits") << QByteArray("x/\xd9\xa1") << QStringLiteral("\u2068x\u2069/\u2068\u0661\u2069");
    QTest::newRow("isolate characters of the name itself are escaped")
        << QByteArray("\xe2\x81\xa8"
                      "a\xe2\x81\xa9")
        << QStringLiteral("\\xE2\\x81\\xA8a\\xE2\\x81\\xA9");
    // Told apart neither: canonically equivalent forms and letters of other scripts that look alike.
    QTest::newRow("decomposed, as it is") << QByteArray("cafe\xcc\x81") << QStringLiteral("cafe\u0301");
    QTest::newRow("Cyrillic a, as it is") << QByteArray("\xd0\xb0") << QStringLiteral("\u0430");
}

// Shown as valid text, and never as the text another name is shown as: a copied name must not lead to a look-alike.
void TestNativePath::shownNamesNeverReadAsAnother()
{
    QFETCH(QByteArray, native);
    QFETCH(QString, shown);
    QCOMPARE(displayTextForPath(textForNativePath(native)), shown);
    QCOMPARE(QString::fromUtf8(shown.toUtf8()), shown);
    QHash<QString, QByteArray> seen;
    for (const QByteArray& other :
         {QByteArray("caf\xe9.txt"), QByteArray("caf\\xE9.txt"), QByteArray("caf\xef\xbf\xbd.txt"),
          QByteArray("caf\xc3\xa9.txt"), QByteArray("new line.txt"), QByteArray("new\\x0Aline.txt"),
          QByteArray("zerowidth"), QByteArray("evilexe.txt"), native}) {
        const QString text = displayTextForPath(textForNativePath(other));
        QVERIFY2(!seen.contains(text) || seen[text] == other, qPrintable(text));
        seen.insert(text, other);
    }
}

void TestNativePath::lookAlikesShownApart_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::newRow("variation selector 16") << QByteArray("a") << QByteArray("a\xef\xb8\x8f");
    QTest::newRow("Mongolian variation selector") << QByteArray("a") << QByteArray("a\xe1\xa0\x8b");
    QTest::newRow("supplementary variation selector") << QByteArray("a") << QByteArray("a\xf3\xa0\x87\xaf");
    QTest::newRow("Khmer inherent vowel") << QByteArray("a") << QByteArray("a\xe1\x9e\xb5");
    QTest::newRow("trailing space") << QByteArray("a") << QByteArray("a ");
    QTest::newRow("leading space in a path") << QByteArray("/d/a") << QByteArray("/d/ a");
    QTest::newRow("escape spelled out against a space") << QByteArray("a ") << QByteArray("a\\x20");
}

// Names that read alike where drawn get texts that differ in what can be seen, not only in what cannot: the texts
// stripped of their format characters, non-spacing marks and blanks at the ends still differ.
void TestNativePath::lookAlikesShownApart()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    const auto seen = [](const QByteArray& native) {
        QString text = displayTextForPath(textForNativePath(native));
        text.removeIf(
            [](QChar c) { return c.category() == QChar::Other_Format || c.category() == QChar::Mark_NonSpacing; });
        return text.trimmed();
    };
    QVERIFY2(seen(first) != seen(second), qPrintable(seen(first)));
}

// What is copied is the text shown without its isolates: for a name in the order it is written, the name itself.
void TestNativePath::copiedTextLeavesTheIsolatesOut_data()
{
    QTest::addColumn<QByteArray>("native");
    QTest::addColumn<QString>("copied");
    QTest::newRow("right-to-left name in a path")
        << QByteArray("/d/\xd7\x90 1.txt") << QStringLiteral("/d/\u05d0 1.txt");
    QTest::newRow("with a byte that is not UTF-8") << QByteArray("\xd7\x90\xff") << QStringLiteral("\u05d0\\xFF");
    QTest::newRow("plain") << QByteArray("/tmp/a b") << QStringLiteral("/tmp/a b");
    QTest::newRow("isolates of the name itself stay escaped")
        << QByteArray("\xe2\x81\xa8\xd7\x90") << QStringLiteral("\\xE2\\x81\\xA8\u05d0");
}

void TestNativePath::copiedTextLeavesTheIsolatesOut()
{
    QFETCH(QByteArray, native);
    QFETCH(QString, copied);
    QCOMPARE(textToCopy(displayTextForPath(textForNativePath(native))), copied);
}

void TestNativePath::textsThatNameNoFile_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("NUL") << QStringLiteral("/etc/hostname") + QChar(0) + QStringLiteral("x");
    QTest::newRow("lone high surrogate") << QStringLiteral("/tmp/a") + QChar(0xd800);
    QTest::newRow("low surrogate below the byte range") << QStringLiteral("/tmp/a") + QChar(0xdc41);
}

void TestNativePath::textsThatNameNoFile()
{
    QFETCH(QString, text);
    QCOMPARE(nativePathFor(text), std::nullopt);
}

QTEST_APPLESS_MAIN(TestNativePath)
#include "TestNativePath.moc"
