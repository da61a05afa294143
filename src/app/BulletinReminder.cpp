#include "BulletinReminder.h"

#include "Clock.h"
#include "modWebLaunch.h"
#include "SettingsStore.h"

#include <memory>
#include <optional>
#include <QRegularExpression>

// Only the form of the time is checked: a local time that does not exist (the hour skipped in spring) is still the
// date it says, and a text with a zone is none that the reminder wrote.
std::optional<QDate> storedBulletinDate(const QString& text)
{
    // Anchored at the very end: "$" alone would also let a line break follow.
    static const QRegularExpression form(QRegularExpression::anchoredPattern(
        QStringLiteral("([0-9]{4}-[0-9]{2}-[0-9]{2})T([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]")));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QDate date = QDate::fromString(match.captured(1), Qt::ISODate);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

namespace {

const QString kSection = QStringLiteral("Checkup");
const QString kKey = QStringLiteral("Site");
constexpr qint64 kDaysBetweenOpenings = 30;

} // namespace

QString bulletinDateText(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

void runBulletinReminder(SettingsStore& settings, const Clock& clock, WebLauncher& launcher,
                         const QString& bulletinAddress)
{
    if (bulletinAddress.isEmpty()) {
        return;
    }
    // Copies started together (a file manager opening several files at once) decide one after another, each
    // reading what the one before stored, so that one page opens, not one per copy.
    const std::unique_ptr<SettingsStore::Hold> hold = settings.hold();
    if (!hold) {
        return;
    }
    const QDateTime now = clock.now();
    const std::optional<QDate> last = storedBulletinDate(settings.read(kSection, kKey).trimmed());
    if (!last) {
        // Blank, absent or unreadable: a first start.
        settings.write(kSection, kKey, bulletinDateText(now));
        return;
    }
    // Calendar days: midnights passed, whatever the time of day; negative when the clock was set back.
    if (last->daysTo(now.date()) <= kDaysBetweenOpenings) {
        return;
    }
    if (settings.write(kSection, kKey, bulletinDateText(now))) {
        LaunchWebPage(launcher, bulletinAddress, kShowNormal);
    }
}
