#include "ReportCopy.h"

#include "CheckModel.h"

namespace {
// Rows written between looks at the clock: a look costs more than a row.
constexpr qsizetype kRowsPerLook = 2048;
} // namespace

ReportCopy::ReportCopy(const CheckModel& model, int sliceMs, QObject* parent) : QObject(parent), m_sliceMs(sliceMs)
{
    m_next.setSingleShot(true);
    m_next.setInterval(0);
    connect(&m_next, &QTimer::timeout, this, &ReportCopy::writeSlice);
    // The rows it has still to write are gone.
    connect(&model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_next.stop();
        m_text.reset();
    });
}

void ReportCopy::start(std::unique_ptr<ReportText> text)
{
    m_text = std::move(text);
    m_next.start();
}

void ReportCopy::writeSlice()
{
    if (!m_text) {
        return;
    }
    QElapsedTimer slice;
    slice.start();
    bool done = false;
    while (!done && slice.elapsed() < m_sliceMs) {
        done = m_text->writeRows(kRowsPerLook);
    }
    if (!done) {
        m_next.start();
        return;
    }
    const QString report = std::exchange(m_text, nullptr)->finish();
    emit written(report);
}
