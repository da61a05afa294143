#pragma once

#include "AnalysisSession.h"
#include "ResultView.h"

#include <array>
#include <memory>
#include <QWidget>

class DigestService;
class MessageBox;
class QCheckBox;
class QLineEdit;

namespace Ui {
class frmMain;
}

// The main window: ten result rows and the buttons under them. It shows what the analysis session finds and
// holds no logic of its own.
class frmMain : public QWidget, public ResultView
{
    Q_OBJECT

public:
    static inline const QString kCaption = QStringLiteral("Keswin Hash");

    frmMain(std::shared_ptr<DigestService> digests, MessageBox& messageBox, QWidget* parent = nullptr);
    ~frmMain() override;

    AnalysisSession& session() { return m_session; }

    QLineEdit* textBox(ResultRow row) const { return m_textBoxes[static_cast<std::size_t>(row)]; }
    QCheckBox* tickBox(ResultRow row) const { return m_tickBoxes[static_cast<std::size_t>(row)]; }

    void setRowText(ResultRow row, const QString& text) override;
    void untickAllRows() override;
    void showMessage(const QString& text) override;

protected:
    // Form_Unload: closing the window ends the program at once, also in the middle of an analysis.
    void closeEvent(QCloseEvent* event) override;

private:
    void fitFontToLabels();

    std::unique_ptr<Ui::frmMain> m_ui;
    MessageBox& m_messageBox;
    std::array<QLineEdit*, 10> m_textBoxes{};
    std::array<QCheckBox*, 10> m_tickBoxes{};
    AnalysisSession m_session; // last: destroyed first, abandoning its worker before the rows go
};
