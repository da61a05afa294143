#include "ComparisonText.h"

#include <algorithm>
#include <cstdlib>
#include <QCoreApplication>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ComparisonText", text);
}

// Both files as they were read, and one ends where the other goes on.
bool isPrefix(const Comparison& comparison)
{
    return !comparison.identical && comparison.firstSize != comparison.secondSize &&
           comparison.firstDifference == static_cast<quint64>(std::min(comparison.firstSize, comparison.secondSize));
}

QString bytesText(qint64 count)
{
    return count == 1 ? tr("1 byte") : tr("%1 bytes").arg(count);
}

} // namespace

QString comparisonText(const Comparison& comparison)
{
    if (comparison.sameFile) {
        return tr("Both names lead to the same file.");
    }
    if (comparison.identical) {
        return tr("The files are identical.");
    }
    if (isPrefix(comparison)) {
        const bool firstShorter = comparison.firstSize < comparison.secondSize;
        const QString shorterBy = bytesText(std::abs(comparison.secondSize - comparison.firstSize));
        return firstShorter
                   ? tr("The first file is shorter by %1; up to its end the files are identical.").arg(shorterBy)
                   : tr("The second file is shorter by %1; up to its end the files are identical.").arg(shorterBy);
    }
    return tr("The files differ; the first difference is at byte %1, counting from 1 as cmp does.")
        .arg(comparison.firstDifference + 1);
}

QString comparisonNote(const Comparison& comparison, int side)
{
    if (comparison.sameFile) {
        return tr("the same file");
    }
    if (comparison.identical) {
        return {};
    }
    if (isPrefix(comparison)) {
        const qint64 own = side == 0 ? comparison.firstSize : comparison.secondSize;
        const qint64 other = side == 0 ? comparison.secondSize : comparison.firstSize;
        return own < other ? tr("shorter by %1; the start of the other file").arg(bytesText(other - own))
                           : tr("longer by %1").arg(bytesText(own - other));
    }
    return tr("first difference at byte %1, counting from 1").arg(comparison.firstDifference + 1);
}
