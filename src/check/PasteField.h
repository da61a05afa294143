#pragma once

#include <QString>

// Whether an edit of the paste field is answered without Enter: a recognised digest put in by anything but one key,
// as a paste or a drop puts it. A digest typed or cut short a character at a time waits for Enter, since on its way
// it passes shorter ones (its first 8 digits are a CRC-32).
bool answersAtOnce(const QString& before, const QString& after);
