#pragma once

#include "CheckReport.h"

#include <memory>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class CheckModel;

// Writes a report a slice at a time on the owner's thread, between its events, so that the report of a million rows
// never holds a window: no copy of the rows is taken, and the text is the only memory it adds. Clearing the model
// meanwhile drops the report unwritten.
class ReportCopy : public QObject
{
    Q_OBJECT

public:
    // sliceMs: how long one slice may write before the thread's other events get their turn.
    explicit ReportCopy(const CheckModel& model, int sliceMs = 10, QObject* parent = nullptr);

    // Starts writing text, dropping any report still being written.
    void start(std::unique_ptr<ReportText> text);
    bool isWriting() const { return m_text != nullptr; }

signals:
    void written(const QString& report);

private:
    void writeSlice();

    int m_sliceMs;
    std::unique_ptr<ReportText> m_text;
    QTimer m_next;
};
