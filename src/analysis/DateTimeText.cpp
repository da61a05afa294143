#include "DateTimeText.h"

#include <QRegularExpression>

namespace {

// Drops the time-zone field ('t' runs outside quoted literals) and the blanks before it.
QString withoutTimeZone(const QString& format)
{
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'') {
            quoted = !quoted;
        }
        if (!quoted && c == u't') {
            while (!result.isEmpty() && result.back().isSpace()) {
                result.chop(1);
            }
            continue;
        }
        result.append(c);
    }
    return result.trimmed();
}

QString shortDateWithFullYear(const QLocale& locale)
{
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    return locale.dateFormat(QLocale::ShortFormat).replace(twoDigitYear, QStringLiteral("yyyy"));
}

} // namespace

QString dateTimeFormat(const QLocale& locale)
{
    return shortDateWithFullYear(locale) + u' ' + withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
}

QString dateTimeText(const QDateTime& time, const QLocale& locale)
{
    if (!time.isValid()) {
        return {};
    }
    const QDateTime local = time.toLocalTime();
    const QTime clock = local.time();
    if (clock.hour() == 0 && clock.minute() == 0 && clock.second() == 0) {
        return locale.toString(local.date(), shortDateWithFullYear(locale));
    }
    return locale.toString(local, dateTimeFormat(locale));
}
