#include "DateTimeText.h"

#include <algorithm>
#include <QRegularExpression>
#include <QTest>
#include <QTimeZone>

namespace {

const QDateTime afternoon(QDate(2026, 3, 5), QTime(14, 7, 9));

// The ASCII letters a format leaves unquoted, i.e. the ones QLocale reads as fields.
QString unquotedLetters(const QString& format)
{
    QString letters;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
        } else if (!quoted && c.isLetter() && c.unicode() < 128) {
            letters += c;
        }
    }
    return letters;
}

bool hasDoubleBlank(const QString& text)
{
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i].isSpace() && text[i - 1].isSpace()) {
            return true;
        }
    }
    return false;
}

bool isSeparator(QChar c)
{
    return c.isPunct() && c.category() != QChar::Punctuation_Open && c.category() != QChar::Punctuation_Close;
}

// A comma or dot may end the time only as part of a word ("ч.", "nm."), never right after a number or a blank.
bool hasDanglingSeparator(const QString& time)
{
    if (time.isEmpty()) {
        return false;
    }
    if (isSeparator(time.front())) {
        return true;
    }
    const QChar beforeLast = time.size() < 2 ? QChar(u' ') : time[time.size() - 2];
    return isSeparator(time.back()) && (beforeLast.isDigit() || beforeLast.isSpace());
}

} // namespace

class TestDateTimeText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void knownAnswers_data();
    void knownAnswers();
    void zoneRemovedFromFormat_data();
    void zoneRemovedFromFormat();
    void everyLocaleDropsTheZone_data();
    void everyLocaleDropsTheZone();
};

void TestDateTimeText::initTestCase()
{
    // A zone whose name and offset no locale's text could contain by chance, so finding either means it leaked.
    qputenv("TZ", "QZX-5:30");
    tzset();
    QCOMPARE(afternoon.timeZoneAbbreviation(), QStringLiteral("QZX"));
    QCOMPARE(QLocale::c().toString(afternoon, QStringLiteral("HH:mm t")), QStringLiteral("14:07 QZX"));
}

void TestDateTimeText::knownAnswers_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("text");

    const QDateTime midnight(QDate(2026, 3, 5), QTime(0, 0, 0));
    const QDateTime justAfterMidnight(QDate(2026, 3, 5), QTime(0, 0, 1));
    QTest::newRow("en_US") << "en_US" << afternoon << "3/5/2026 2:07:09 PM";
    QTest::newRow("en_US last second of a century")
        << "en_US" << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)) << "12/31/1999 11:59:59 PM";
    QTest::newRow("en_US midnight") << "en_US" << midnight << "3/5/2026";
    QTest::newRow("en_US one second past midnight") << "en_US" << justAfterMidnight << "3/5/2026 12:00:01 AM";
    QTest::newRow("de_DE") << "de_DE" << afternoon << "05.03.2026 14:07:09";
    QTest::newRow("de_DE midnight") << "de_DE" << midnight << "05.03.2026";
    QTest::newRow("fr_FR") << "fr_FR" << afternoon << "05/03/2026 14:07:09";
    QTest::newRow("ca_ES zone in parentheses") << "ca_ES" << afternoon << "5/3/2026 14:07:09";
    QTest::newRow("ca_ES one second past midnight") << "ca_ES" << justAfterMidnight << "5/3/2026 0:00:01";
    QTest::newRow("hr_HR zone in parentheses") << "hr_HR" << afternoon << "05. 03. 2026. 14:07:09";
    QTest::newRow("hr_HR midnight") << "hr_HR" << midnight << "05. 03. 2026.";
    QTest::newRow("zh_TW zone in brackets, day period") << "zh_TW" << afternoon << u"2026/3/5 下午2:07:09"_qs;
    QTest::newRow("zh_CN leading zone") << "zh_CN" << afternoon << "2026/3/5 14:07:09";
    QTest::newRow("be_BY comma before zone") << "be_BY" << afternoon << "5.03.2026 14:07:09";
    QTest::newRow("sq_AL comma after day period") << "sq_AL" << afternoon << "5.3.2026 2:07:09 E PASDITES";
    QTest::newRow("bg_BG abbreviation dot kept") << "bg_BG" << afternoon << u"5.03.2026 г. 14:07:09 ч."_qs;
    QTest::newRow("nds_DE quoted word and parentheses") << "nds_DE" << afternoon << "5.03.2026 Klock 14.07:09";
    QTest::newRow("fr_CH quoted unit") << "fr_CH" << afternoon << "05.03.2026 14.07:09 h";
    QTest::newRow("eo quoted words") << "eo" << afternoon << "2026-03-05 14-a horo kaj 7:09";
    QTest::newRow("invalid time") << "en_US" << QDateTime() << "";
}

void TestDateTimeText::knownAnswers()
{
    QFETCH(QString, locale);
    QFETCH(QDateTime, time);
    QFETCH(QString, text);
    QCOMPARE(dateTimeText(time, QLocale(locale)), text);
}

void TestDateTimeText::zoneRemovedFromFormat_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("text");

    QTest::newRow("trailing") << "HH:mm:ss t"
                              << "14:07:09";
    QTest::newRow("parentheses") << "H:mm:ss (t)"
                                 << "14:07:09";
    QTest::newRow("square brackets") << "HH:mm:ss [t]"
                                     << "14:07:09";
    QTest::newRow("full-width parentheses") << u"HH:mm:ss（t）"_qs << "14:07:09";
    QTest::newRow("nested brackets with blanks") << "HH:mm:ss ( [ t ] )"
                                                 << "14:07:09";
    QTest::newRow("comma before") << "HH:mm:ss, t"
                                  << "14:07:09";
    QTest::newRow("dash between blanks before") << "HH:mm:ss - t"
                                                << "14:07:09";
    QTest::newRow("dot after") << "HH:mm:ss t."
                               << "14:07:09";
    QTest::newRow("leading") << "t HH:mm:ss"
                             << "14:07:09";
    QTest::newRow("leading with comma") << "t, HH:mm:ss"
                                        << "14:07:09";
    QTest::newRow("two zones") << "t HH:mm:ss (t)"
                               << "14:07:09";
    QTest::newRow("long zone name") << "HH:mm:ss tttt"
                                    << "14:07:09";
    QTest::newRow("between fields") << "HH:mm t ss"
                                    << "14:07 09";
    QTest::newRow("glued to the next field") << "HH:mm tss"
                                             << "14:07 09";
    QTest::newRow("first in brackets") << "HH:mm (t, ss)"
                                       << "14:07 (09)";
    QTest::newRow("dot of a quoted word") << u"H:mm:ss 'ч'. t"_qs << u"14:07:09 ч."_qs;
    QTest::newRow("quoted word first") << "'kl'. HH:mm:ss t"
                                       << "kl. 14:07:09";
    QTest::newRow("quoted letters stay text") << "H 'h' mm 'min' ss 's' t"
                                              << "14 h 07 min 09 s";
    QTest::newRow("quoted t") << "HH:mm:ss 't'"
                              << "14:07:09 t";
    QTest::newRow("quote inside quotes") << "'o''clock' H t"
                                         << "o'clock 14";
    QTest::newRow("lone quote") << "HH:mm:ss '' t"
                                << "14:07:09 '";
    QTest::newRow("unclosed quote") << "HH:mm:ss 'at t"
                                    << "14:07:09 at t";
    QTest::newRow("day period stays one field") << "h:mm:ss AP, t"
                                                << "2:07:09 PM";
    QTest::newRow("flexible day period") << "Bh:mm:ss"
                                         << "PM2:07:09";
    QTest::newRow("stray blanks") << "  HH:mm:ss  t  "
                                  << "14:07:09";
    QTest::newRow("zone alone") << "t"
                                << "";
    QTest::newRow("zone in parentheses alone") << "(t)"
                                               << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestDateTimeText::zoneRemovedFromFormat()
{
    QFETCH(QString, format);
    QFETCH(QString, text);
    QCOMPARE(QLocale::c().toString(afternoon, timeFormatWithoutZone(format)), text);
}

void TestDateTimeText::everyLocaleDropsTheZone_data()
{
    QTest::addColumn<QLocale>("locale");
    for (const QLocale& locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
        const QString tag = QLocale::languageToCode(locale.language()) + u'_' + QLocale::scriptToCode(locale.script()) +
                            u'_' + QLocale::territoryToCode(locale.territory());
        QTest::newRow(qPrintable(tag)) << locale;
    }
}

void TestDateTimeText::everyLocaleDropsTheZone()
{
    QFETCH(QLocale, locale);
    // Two-digit seconds that no other part of the text shows, so finding them proves the seconds field survived.
    const QDateTime moment(QDate(2026, 3, 5), QTime(15, 42, 37));
    static const QRegularExpression emptyBrackets(QStringLiteral("\\p{Ps}\\s*\\p{Pe}"),
                                                  QRegularExpression::UseUnicodePropertiesOption);
    const QString format = dateTimeFormat(locale);
    const QString text = dateTimeText(moment, locale);
    const QString date = dateTimeText(QDateTime(moment.date(), QTime(0, 0)), locale);
    const QString seconds = locale.toString(moment.time(), QStringLiteral("ss"));
    const QString why = locale.name() + u' ' + QLocale::scriptToString(locale.script()) + QStringLiteral(": \"") +
                        text + QStringLiteral("\" from \"") + locale.timeFormat(QLocale::LongFormat) + u'"';

    const QString letters = unquotedLetters(format);
    QVERIFY2(!letters.contains(u't'), qPrintable(why));
    QVERIFY2(
        std::all_of(letters.cbegin(), letters.cend(), [](QChar c) { return QStringView(u"dMyhHmszaApP").contains(c); }),
        qPrintable(why));
    QVERIFY2(!text.contains(u"QZX") && !text.contains(u"05:30") && !text.contains(u"0530"), qPrintable(why));
    QVERIFY2(!text.contains(emptyBrackets), qPrintable(why));
    QVERIFY2(text == text.trimmed(), qPrintable(why));
    QVERIFY2(!hasDoubleBlank(text), qPrintable(why));
    QVERIFY2(text.startsWith(date + u' '), qPrintable(why));
    const QString time = text.sliced(date.size() + 1);
    QVERIFY2(time.contains(seconds), qPrintable(why));
    QVERIFY2(!hasDanglingSeparator(time), qPrintable(why));
}

QTEST_GUILESS_MAIN(TestDateTimeText)
#include "TestDateTimeText.moc"
