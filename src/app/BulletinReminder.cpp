#include "BulletinReminder.h"

#include "Clock.h"
#include "modWebLaunch.h"
#include "SettingsStore.h"

namespace {

const QString kSection = QStringLiteral("Checkup");
const QString kKey = QStringLiteral("Site");
constexpr qint64 kDaysBetweenOpenings = 30;

QString withoutOuterSpaces(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ') {
        ++first;
    }
    while (last > first && text[last - 1] == u' ') {
        --last;
    }
    return text.mid(first, last - first);
}

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
    const QDateTime now = clock.now();
    const QString stored = withoutOuterSpaces(settings.read(kSection, kKey));
    const QDateTime last = QDateTime::fromString(stored, Qt::ISODate);
    if (stored.isEmpty() || !last.isValid()) {
        settings.write(kSection, kKey, bulletinDateText(now));
        return;
    }
    // Calendar days: midnights passed, whatever the time of day; negative when the clock was set back.
    if (last.date().daysTo(now.date()) <= kDaysBetweenOpenings) {
        return;
    }
    if (settings.write(kSection, kKey, bulletinDateText(now))) {
        LaunchWebPage(launcher, bulletinAddress, kShowNormal);
    }
}
