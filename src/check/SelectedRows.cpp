#include "SelectedRows.h"

#include <algorithm>

std::vector<std::pair<qsizetype, qsizetype>> selectedRowRanges(const QItemSelection& selection)
{
    std::vector<std::pair<qsizetype, qsizetype>> ranges;
    ranges.reserve(static_cast<std::size_t>(selection.size()));
    for (const QItemSelectionRange& range : selection) {
        ranges.emplace_back(range.top(), qsizetype(range.bottom()) + 1);
    }
    std::sort(ranges.begin(), ranges.end());
    // Ranges of cells in other columns of the same rows, or overlapping, become one.
    std::vector<std::pair<qsizetype, qsizetype>> merged;
    for (const auto& range : ranges) {
        if (!merged.empty() && range.first <= merged.back().second) {
            merged.back().second = std::max(merged.back().second, range.second);
        } else {
            merged.push_back(range);
        }
    }
    return merged;
}
