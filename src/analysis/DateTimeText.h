#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The locale's short date with a four-digit year, a blank, and the time with seconds but no time zone.
QString dateTimeFormat(const QLocale& locale);
// Midnight exactly shows the date alone; an invalid time shows nothing.
QString dateTimeText(const QDateTime& time, const QLocale& locale);
// A QLocale time format without its time-zone field, the brackets around it and the separator that joined it.
QString timeFormatWithoutZone(const QString& timeFormat);
