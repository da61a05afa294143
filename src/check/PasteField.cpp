#include "PasteField.h"

#include "PastedDigest.h"

#include <algorithm>
#include <cstdlib>

namespace {

// How many characters an edit put in: what lies between the text the edit kept at either end.
qsizetype insertedLength(const QString& before, const QString& after)
{
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix]) {
        ++prefix;
    }
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    return after.size() - prefix - suffix;
}

} // namespace

bool answersAtOnce(const QString& before, const QString& after)
{
    // Anything but one character typed or deleted: a paste over a typo may agree with it but for one digit.
    const bool oneKey = std::abs(after.size() - before.size()) == 1 && insertedLength(before, after) <= 1;
    if (oneKey || after == before) {
        return false;
    }
    const QByteArray text = after.toUtf8();
    return recognizePastedDigest(text).has_value();
}
