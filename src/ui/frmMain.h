#pragma once

#include "AnalysisSession.h"
#include "ResultView.h"

#include <array>
#include <functional>
#include <memory>
#include <QWidget>

class Clipboard;
class DigestService;
class FileDialog;
class frmAbout;
class MessageBox;
class QCheckBox;
class QLineEdit;
class QPushButton;
enum class ReportScope;

namespace Ui {
class frmMain;
}

// The main window: ten result rows and the buttons under them. It shows what the analysis session finds, hands
// dropped and chosen files to it, and puts rows on the clipboard; it holds no logic of its own.
class frmMain : public QWidget, public ResultView
{
    Q_OBJECT

public:
    static inline const QString kCaption = QStringLiteral("Keswin Hash");
    static inline const QString kBrowseTitle = QStringLiteral("Select a File to Hash");

    // openHomePage: what a click on the About window's artwork does.
    frmMain(std::shared_ptr<DigestService> digests, MessageBox& messageBox, FileDialog& fileDialog,
            Clipboard& clipboard, std::function<void()> openHomePage = {}, QWidget* parent = nullptr);
    ~frmMain() override;

    AnalysisSession& session() { return m_session; }

    QLineEdit* textBox(ResultRow row) const { return m_textBoxes[static_cast<std::size_t>(row)]; }
    QCheckBox* tickBox(ResultRow row) const { return m_tickBoxes[static_cast<std::size_t>(row)]; }
    QPushButton* copyButton(ResultRow row) const { return m_copyButtons[static_cast<std::size_t>(row)]; }
    // The one About window, once the banner has been clicked.
    frmAbout* aboutWindow() const { return m_about; }

    void setRowText(ResultRow row, const QString& text) override;
    void untickAllRows() override;
    void showMessage(const QString& text) override;

protected:
    // Form_Unload: closing the window ends the program at once, also in the middle of an analysis.
    void closeEvent(QCloseEvent* event) override;

private:
    void fitFontToLabels();
    void cmdBrowse_Click();
    void imgTitle_Click();
    void copyRow(ResultRow row);
    void copyReport(ReportScope scope);

    std::unique_ptr<Ui::frmMain> m_ui;
    MessageBox& m_messageBox;
    FileDialog& m_fileDialog;
    Clipboard& m_clipboard;
    std::array<QLineEdit*, 10> m_textBoxes{};
    std::array<QCheckBox*, 10> m_tickBoxes{};
    std::array<QPushButton*, 10> m_copyButtons{};
    std::function<void()> m_openHomePage;
    frmAbout* m_about = nullptr;
    AnalysisSession m_session; // last: destroyed first, abandoning its worker before the rows go
};
