#pragma once

#include <optional>
#include <QDate>
#include <QString>

class Clock;
class SettingsStore;
class WebLauncher;

// Opens the maker's bulletin page when more than 30 calendar days have passed since it last did, keeping the date
// of that opening in the setting QDX / Checkup / Site. A first start, a blank setting or one that does not read as
// a date-time only stores the present date-time. The new date is stored, and seen to be stored, before the page is
// opened: a store that cannot be written must not open the page at every start. The store is held from the read to
// the write (SettingsStore::hold), and nothing is done when it cannot be. An empty address does nothing.
void runBulletinReminder(SettingsStore& settings, const Clock& clock, WebLauncher& launcher,
                         const QString& bulletinAddress);

// The stored form: ISO 8601 local date-time with seconds and no zone, which reads back the same in any locale.
QString bulletinDateText(const class QDateTime& time);

// The date a stored text of the written form holds, nothing for any other text; public for the fuzz target.
std::optional<QDate> storedBulletinDate(const QString& text);
