#pragma once

#include "CheckRow.h"

#include <array>
#include <deque>
#include <QAbstractTableModel>
#include <vector>

// The results, one row per check. Text only: names and digests are plain text for the view to show as such; the
// state comes as words, an icon name and an accessible sentence. Changes arrive in runs (rows appended together,
// answers applied together) so that many small files cost one repaint per run, not one each.
class CheckModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        NameColumn,
        AlgorithmColumn,
        StateColumn,
        ExpectedColumn,
        ActualColumn,
        NoteColumn,
        ColumnCount,
    };
    enum Role
    {
        StateRole = Qt::UserRole + 1, // int(CheckState)
        IconNameRole,                 // a freedesktop icon name for QIcon::fromTheme (also on DecorationRole's column)
        OutsideFolderRole,            // bool
        ConflictingRole,              // bool
        NameBytesRole,                // QByteArray: the name as given
        LineNumberRole,               // quint64, 0 when not from a list
    };

    explicit CheckModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const CheckRow& row(qsizetype index) const { return m_rows[static_cast<std::size_t>(index)]; }
    qsizetype size() const { return static_cast<qsizetype>(m_rows.size()); }
    // Rows in STATE, kept as rows change: a summary of a million rows costs no pass over them.
    qsizetype count(CheckState state) const { return m_counts[static_cast<std::size_t>(state)]; }

    void clear();
    void append(std::vector<CheckRow> rows);
    // Changes rows first..last with edit(row, index) and tells the views once.
    template <typename Edit> void update(qsizetype first, qsizetype last, Edit edit)
    {
        if (first > last) {
            return;
        }
        for (qsizetype i = first; i <= last; ++i) {
            CheckRow& row = m_rows[static_cast<std::size_t>(i)];
            --m_counts[static_cast<std::size_t>(row.state)];
            edit(row, i);
            ++m_counts[static_cast<std::size_t>(row.state)];
        }
        changed(first, last);
    }
    void removeRow(qsizetype index);

    // The whole row as one sentence for a screen reader: the description of its first cell.
    static QString accessibleText(const CheckRow& row);

private:
    void changed(qsizetype first, qsizetype last);

    // In blocks rather than one array: a million rows grow without a moment holding them twice.
    std::deque<CheckRow> m_rows;
    std::array<qsizetype, kCheckStateCount> m_counts{};
};
