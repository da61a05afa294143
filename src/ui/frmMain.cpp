#include "frmMain.h"

#include "AccessibleRoles.h"
#include "Artwork.h"
#include "ChosenFile.h"
#include "ClickFilter.h"
#include "Clipboard.h"
#include "DropFilter.h"
#include "FileDialog.h"
#include "frmAbout.h"
#include "MessageBox.h"
#include "NativePath.h"
#include "Report.h"
#include "ui_frmMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <utility>

namespace {

// Tick boxes are 13 pixels square; styles with a larger indicator would have it cut off at the box's edge.
class TickBoxStyle final : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_IndicatorWidth || metric == PM_IndicatorHeight) {
            return std::min(13, QProxyStyle::pixelMetric(metric, option, widget));
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QStyle* tickBoxStyle()
{
    // Owned by the application so that it outlives every window that uses it.
    static QPointer<QStyle> style;
    if (!style) {
        style = new TickBoxStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

} // namespace

frmMain::frmMain(std::shared_ptr<DigestService> digests, MessageBox& messageBox, FileDialog& fileDialog,
                 Clipboard& clipboard, std::function<void()> openHomePage, QWidget* parent)
    : QWidget(parent), m_ui((useArtwork(), useAccessibleRoles("frmMain"), std::make_unique<Ui::frmMain>())),
      m_messageBox(messageBox), m_fileDialog(fileDialog), m_clipboard(clipboard),
      m_openHomePage(std::move(openHomePage)), m_session(std::move(digests), *this)
{
    m_ui->setupUi(this);
    fitFontToLabels();
    // A normal top-level window keeps its taskbar entry under every window manager; fixed size, close box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(278, 286);
    setWindowIcon(programIcon());

    m_textBoxes = {m_ui->txtFileName,     m_ui->txtFilePath, m_ui->txtCreateDate, m_ui->txtLastAccessed,
                   m_ui->txtLastModified, m_ui->txtFileSize, m_ui->txtCRC32,      m_ui->txtMD5,
                   m_ui->txtSha1,         m_ui->txtSha256};
    m_tickBoxes = {m_ui->chkFileName, m_ui->chkFilePath, m_ui->chkCreateDate, m_ui->chkLastAccessed, m_ui->chkLastMod,
                   m_ui->chkFileSize, m_ui->chkCRC32,    m_ui->chkMD5,        m_ui->chkSha1,         m_ui->chkSha256};
    m_copyButtons = {m_ui->cmdCopyFileName, m_ui->cmdCopyFilePath, m_ui->cmdCopyCreatedDate, m_ui->cmdCopyLastAccessed,
                     m_ui->cmdCopyLastMod,  m_ui->cmdCopyFileSize, m_ui->cmdCopyCRC32,       m_ui->cmdCopyMD5,
                     m_ui->cmdCopySha1,     m_ui->cmdCopySha256};
    for (QCheckBox* box : m_tickBoxes) {
        box->setStyle(tickBoxStyle());
    }
    for (ResultRow row : kAllRows) {
        connect(copyButton(row), &QPushButton::clicked, this, [this, row] { copyRow(row); });
    }
    connect(m_ui->cmdCopyAll, &QPushButton::clicked, this, [this] { copyReport(ReportScope::AllRows); });
    connect(m_ui->cmdCopySel, &QPushButton::clicked, this, [this] { copyReport(ReportScope::TickedRows); });
    connect(m_ui->cmdBrowse, &QPushButton::clicked, this, &frmMain::cmdBrowse_Click);
    // One file at a time: the first of those dropped.
    new DropFilter(this, [this](const QStringList& paths) { m_session.TakeInputPath(paths.front()); });
    m_ui->imgTitle->setPixmap(QIcon(QStringLiteral(":/banner.png")).pixmap(QSize(278, 49), devicePixelRatioF()));
    new ClickFilter(m_ui->imgTitle, [this] { imgTitle_Click(); });
    m_ui->txtFileName->setFocus();
}

// The row labels have 81 pixels left of the text boxes, room made for a narrow dialog font. Where the desktop's
// font is wider, the window's font is made just small enough that no label is cut.
void frmMain::fitFontToLabels()
{
    static const QStringList captions{
        "File Name:", "File Path:",     "Created Date:", "Last Accessed:", "Last Modified:",
        "File Size:", "CRC-32 Digest:", "MD5 Hash:",     "SHA-1 Hash:",    "SHA-256 Hash:"};
    constexpr int visibleWidth = 81 - 2;
    constexpr qreal smallestPointSize = 6.5;
    QFont font = this->font();
    auto widest = [&] {
        const QFontMetrics metrics(font);
        int width = 0;
        for (const QString& caption : captions) {
            width = std::max(width, metrics.horizontalAdvance(caption));
        }
        return width;
    };
    while (widest() > visibleWidth && font.pointSizeF() - 0.5 >= smallestPointSize) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    setFont(font);
}

frmMain::~frmMain() = default;

void frmMain::setRowText(ResultRow row, const QString& text)
{
    QLineEdit* box = textBox(row);
    box->setText(text);
    // Long values show their beginning; the rest is reached with the caret.
    box->setCursorPosition(0);
}

void frmMain::untickAllRows()
{
    for (QCheckBox* box : m_tickBoxes) {
        box->setChecked(false);
    }
}

void frmMain::showMessage(const QString& text)
{
    m_messageBox.show(this, kCaption, text);
}

void frmMain::imgTitle_Click()
{
    if (!m_about) {
        m_about = new frmAbout(this, [this] {
            if (m_openHomePage) {
                m_openHomePage();
            }
        });
    }
    m_about->showOrRaise();
}

void frmMain::cmdBrowse_Click()
{
    m_fileDialog.chooseFile(this, kBrowseTitle, [this](const FileChoice& answer) {
        // A cancel gives the empty text, which the intake ignores: the rows keep what they show.
        const ChosenFile chosen = chosenFile(answer);
        if (!chosen.refusal.isEmpty()) {
            showMessage(chosen.refusal);
            return;
        }
        m_session.TakeInputPath(chosen.path);
    });
}

void frmMain::copyRow(ResultRow row)
{
    m_clipboard.setText(textToCopy(textBox(row)->text()));
}

void frmMain::copyReport(ReportScope scope)
{
    QList<ReportRow> rows;
    for (ResultRow row : kAllRows) {
        rows.append({kReportLabels[static_cast<std::size_t>(row)], textToCopy(textBox(row)->text()),
                     tickBox(row)->isChecked()});
    }
    m_clipboard.setText(buildReport(rows, scope));
}

void frmMain::closeEvent(QCloseEvent* event)
{
    m_session.stop();
    event->accept();
    QCoreApplication::quit();
}
