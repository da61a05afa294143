#include "DigestDelegate.h"

#include <QFontDatabase>
#include <QFontMetrics>

int DigestDelegate::widthForDigits(int digits)
{
    const QFontMetrics metrics(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return metrics.horizontalAdvance(QString(digits, QLatin1Char('0'))) + 2 * metrics.averageCharWidth();
}

void DigestDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    option->fontMetrics = QFontMetrics(option->font);
    option->textElideMode = Qt::ElideMiddle;
}
