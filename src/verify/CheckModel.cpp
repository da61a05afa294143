#include "CheckModel.h"

#include "HexDigest.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

QString hexText(const QByteArray& digest)
{
    return QString::fromLatin1(hexDigest(digest));
}

QString displayText(const CheckRow& row, int column)
{
    const bool mismatch = row.state == CheckState::Mismatch;
    switch (column) {
    case CheckModel::NameColumn:
        return nameText(row.name);
    case CheckModel::AlgorithmColumn:
        return algorithmText(row);
    case CheckModel::StateColumn:
        return stateText(row.state, row.percent);
    case CheckModel::ExpectedColumn:
        return mismatch ? hexText(row.expected) : QString();
    case CheckModel::ActualColumn:
        // Also a digest computed with nothing to compare it with, and an OK row's (the expected one, matched), for
        // the user to copy.
        if (row.state == CheckState::Ok && row.actual.isEmpty()) {
            return hexText(row.expected);
        }
        return mismatch || row.expected.isEmpty() || row.state == CheckState::Ok ? hexText(row.actual) : QString();
    case CheckModel::NoteColumn: {
        QStringList notes;
        if (row.outsideFolder) {
            notes.append(QCoreApplication::translate("CheckModel", "outside the list's folder"));
        }
        if (const QString note = noteText(row); !note.isEmpty()) {
            notes.append(note);
        }
        if (const QString actual = actualAlgorithmNote(row); !actual.isEmpty()) {
            notes.append(actual);
        }
        return notes.join(QStringLiteral("; "));
    }
    default:
        return {};
    }
}

} // namespace

CheckModel::CheckModel(QObject* parent) : QAbstractTableModel(parent) {}

int CheckModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CheckModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CheckModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount) {
        return {};
    }
    const CheckRow& checked = m_rows[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return displayText(checked, index.column());
    case Qt::DecorationRole:
        return index.column() == StateColumn ? QVariant(stateIconName(checked.state)) : QVariant();
    case Qt::AccessibleTextRole: {
        // Each cell by its column and its value: a screen reader moving across a row reads each cell once.
        const QString value = displayText(checked, index.column());
        return QCoreApplication::translate("CheckModel", "%1: %2")
            .arg(headerData(index.column(), Qt::Horizontal).toString(),
                 value.isEmpty() ? QCoreApplication::translate("CheckModel", "none") : value);
    }
    case Qt::AccessibleDescriptionRole:
        // The whole row once, on its first cell, for a reader that speaks a row as one.
        return index.column() == NameColumn ? accessibleText(checked) : QString();
    case StateRole:
        return static_cast<int>(checked.state);
    case IconNameRole:
        return stateIconName(checked.state);
    case OutsideFolderRole:
        return checked.outsideFolder;
    case ConflictingRole:
        return checked.conflicting;
    case NameBytesRole:
        return checked.name;
    case LineNumberRole:
        return checked.lineNumber;
    default:
        return {};
    }
}

QVariant CheckModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) {
        return {};
    }
    switch (section) {
    case NameColumn:
        return QCoreApplication::translate("CheckModel", "File");
    case AlgorithmColumn:
        return QCoreApplication::translate("CheckModel", "Algorithm");
    case StateColumn:
        return QCoreApplication::translate("CheckModel", "State");
    case ExpectedColumn:
        return QCoreApplication::translate("CheckModel", "Expected");
    case ActualColumn:
        return QCoreApplication::translate("CheckModel", "Actual");
    case NoteColumn:
        return QCoreApplication::translate("CheckModel", "Note");
    default:
        return {};
    }
}

void CheckModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_counts = {};
    endResetModel();
}

void CheckModel::append(std::vector<CheckRow> rows)
{
    if (rows.empty()) {
        return;
    }
    const int first = rowCount();
    for (const CheckRow& row : rows) {
        ++m_counts[static_cast<std::size_t>(row.state)];
    }
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
}

void CheckModel::removeRow(qsizetype index)
{
    beginRemoveRows({}, static_cast<int>(index), static_cast<int>(index));
    --m_counts[static_cast<std::size_t>(m_rows[static_cast<std::size_t>(index)].state)];
    m_rows.erase(m_rows.begin() + index);
    endRemoveRows();
}

void CheckModel::changed(qsizetype first, qsizetype last)
{
    emit dataChanged(this->index(static_cast<int>(first), 0), this->index(static_cast<int>(last), ColumnCount - 1));
}

QString CheckModel::accessibleText(const CheckRow& row)
{
    QStringList parts{nameText(row.name), stateText(row.state, row.percent)};
    const QString algorithm = algorithmText(row);
    if (!algorithm.isEmpty()) {
        parts.append(algorithm);
    }
    if (row.state == CheckState::Mismatch) {
        parts.append(QCoreApplication::translate("CheckModel", "expected %1").arg(hexText(row.expected)));
        parts.append(QCoreApplication::translate("CheckModel", "actual %1").arg(hexText(row.actual)));
    }
    const QString note = displayText(row, NoteColumn);
    if (!note.isEmpty()) {
        parts.append(note);
    }
    return parts.join(QStringLiteral(", "));
}
