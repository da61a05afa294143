// The reminder's stored date against a model of its own: exactly "yyyy-MM-ddTHH:mm:ss", ASCII digits, a real
// calendar date and a clock time in range; and every date the reminder writes reads back as that date.
#include "BulletinReminder.h"
#include "FuzzInput.h"

#include <cstdio>
#include <cstdlib>
#include <QDateTime>

namespace {

struct Fields
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

bool isLeap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

// The fields of a text of the written form, or nothing. Year 0 is no date: the calendar goes from 1 BC to AD 1.
std::optional<Fields> modelDate(const QString& text)
{
    static const char form[] = "dddd-dd-ddTdd:dd:dd";
    if (text.size() != 19) {
        return std::nullopt;
    }
    for (int i = 0; i < 19; ++i) {
        const char16_t unit = text[i].unicode();
        const bool ok = form[i] == 'd' ? (unit >= u'0' && unit <= u'9') : unit == static_cast<char16_t>(form[i]);
        if (!ok) {
            return std::nullopt;
        }
    }
    const auto number = [&](int from, int count) {
        int value = 0;
        for (int i = from; i < from + count; ++i) {
            value = value * 10 + (text[i].unicode() - u'0');
        }
        return value;
    };
    const Fields f{number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2), number(17, 2)};
    if (f.year < 1 || f.month < 1 || f.month > 12 || f.day < 1 || f.day > daysInMonth(f.year, f.month)) {
        return std::nullopt;
    }
    if (f.hour > 23 || f.minute > 59 || f.second > 59) {
        return std::nullopt;
    }
    return f;
}

// A text with each code unit outside printable ASCII as \uXXXX, for the report of a broken property.
QByteArray escaped(const QString& text)
{
    QByteArray out;
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        out += unit >= 0x20 && unit < 0x7f && unit != u'\\'
                   ? QByteArray(1, static_cast<char>(unit))
                   : QByteArray::number(unit + 0x10000, 16).replace(0, 1, "\\u");
    }
    return out;
}

// What the reminder writes for the start of a day must read back as that day.
void checkRoundTrip(const QDate& date)
{
    const QString written = bulletinDateText(date.startOfDay());
    const std::optional<QDate> back = storedBulletinDate(written);
    if (!back || *back != date) {
        std::fprintf(stderr, "wrote \"%s\" for %s\n", escaped(written).constData(),
                     qPrintable(date.toString(Qt::ISODate)));
    }
    FUZZ_CHECK(back && *back == date);
}

// A date-time text from fields near the limits, with now and then something around it.
QString textFromFields(FuzzInput& input)
{
    const int year = (input.byte() << 8 | input.byte()) % 10000;
    const int month = input.byte() % 14;
    const int day = input.byte() % 33;
    const int hour = input.byte() % 26;
    const int minute = input.byte() % 62;
    const int second = input.byte() % 62;
    QString text = QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d", year, month, day, hour, minute, second);
    const std::uint8_t around = input.byte();
    if (around & 1) {
        text.prepend(input.codeUnits(2));
    }
    if (around & 2) {
        text.append(input.codeUnits(2));
    }
    const QDate date(year, month, day);
    if (date.isValid()) {
        checkRoundTrip(date);
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A zone where clocks went from 23:59:59 to 01:00 in spring (until 2019): the day's start is not midnight.
    if (!std::getenv("TZ")) {
        setenv("TZ", "America/Sao_Paulo", 1);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    QString text;
    switch (input.byte() % 4) {
    case 0:
        text = textFromFields(input);
        break;
    case 1:
        text = QString::fromUtf8(input.rest()); // invalid UTF-8 included
        break;
    case 2:
        text = QString::fromLatin1(input.rest());
        break;
    default:
        text = input.codeUnits();
        break;
    }

    const std::optional<QDate> date = storedBulletinDate(text);
    const std::optional<Fields> model = modelDate(text);
    if (date.has_value() != model.has_value()) {
        std::fprintf(stderr, "text \"%s\": read %s, expected %s\n", escaped(text).constData(),
                     date ? "a date" : "nothing", model ? "a date" : "nothing");
    }
    FUZZ_CHECK(date.has_value() == model.has_value());
    if (date) {
        FUZZ_CHECK(date->isValid());
        FUZZ_CHECK(date->year() == model->year && date->month() == model->month && date->day() == model->day);
        checkRoundTrip(*date);
    }
    return 0;
}
