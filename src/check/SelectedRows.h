#pragma once

#include <QItemSelection>
#include <utility>
#include <vector>

// The rows a selection touches, as [first, end) ranges in order, each row once however many of its cells are
// selected: Ctrl+A over a million rows is one range, never six million cells.
std::vector<std::pair<qsizetype, qsizetype>> selectedRowRanges(const QItemSelection& selection);
