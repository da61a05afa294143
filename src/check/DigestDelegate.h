#pragma once

#include <QStyledItemDelegate>

// Digests as a view draws them: in a fixed-width font, so that digits line up from row to row, and elided in the
// middle, where the start and the end that people compare stay in sight. The model's text stays whole, for a copy
// (Ctrl+C on the cell), the tooltip and a screen reader.
class DigestDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The width that shows this many digits.
    static int widthForDigits(int digits);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
