#pragma once

#include "ResultView.h"

#include <array>
#include <QList>
#include <QPair>
#include <QStringList>

// Keeps the rows as a window would and records every change, in order.
class RecordingView final : public ResultView
{
public:
    void setRowText(ResultRow row, const QString& text) override
    {
        m_rows[static_cast<std::size_t>(row)] = text;
        m_changes.append({row, text});
    }
    void untickAllRows() override { m_ticks.fill(false); }
    void showMessage(const QString& text) override { m_messages.append(text); }

    QString row(ResultRow row) const { return m_rows[static_cast<std::size_t>(row)]; }
    bool ticked(ResultRow row) const { return m_ticks[static_cast<std::size_t>(row)]; }
    void tickAll() { m_ticks.fill(true); }
    void fillAll(const QString& text) { m_rows.fill(text); }
    bool allRowsEmpty() const
    {
        return std::all_of(m_rows.begin(), m_rows.end(), [](const QString& text) { return text.isEmpty(); });
    }
    bool anyTicked() const { return std::find(m_ticks.begin(), m_ticks.end(), true) != m_ticks.end(); }

    const QList<QPair<ResultRow, QString>>& changes() const { return m_changes; }
    void forgetChanges() { m_changes.clear(); }
    const QStringList& messages() const { return m_messages; }

private:
    std::array<QString, 10> m_rows;
    std::array<bool, 10> m_ticks{};
    QList<QPair<ResultRow, QString>> m_changes;
    QStringList m_messages;
};
