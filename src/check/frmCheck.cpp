#include "frmCheck.h"

#include "AccessibleRoles.h"
#include "Artwork.h"
#include "CheckTexts.h"
#include "ChosenFile.h"
#include "Clipboard.h"
#include "DigestDelegate.h"
#include "DropFilter.h"
#include "FileDialog.h"
#include "NativePath.h"
#include "PasteField.h"
#include "SelectedRows.h"
#include "ui_frmCheck.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QShortcut>

frmCheck::frmCheck(FileDialog& fileDialog, Clipboard& clipboard, CheckSessionOptions options, QWidget* parent)
    : QWidget(parent), m_ui((useArtwork(), useAccessibleRoles(), std::make_unique<Ui::frmCheck>())),
      m_fileDialog(fileDialog), m_clipboard(clipboard), m_session(m_model, std::move(options))
{
    m_ui->setupUi(this);
    setWindowIcon(programIcon());
    m_icons.setSourceModel(&m_model);
    m_ui->tblResults->setModel(&m_icons);
    m_ui->tblResults->verticalHeader()->setVisible(false);
    // Fixed widths: fitting columns to their contents would look at every one of ten thousand rows at each change.
    m_ui->tblResults->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_ui->tblResults->horizontalHeader()->setStretchLastSection(true);
    m_ui->tblResults->setColumnWidth(CheckModel::NameColumn, 180);
    m_ui->tblResults->setColumnWidth(CheckModel::AlgorithmColumn, 90);
    m_ui->tblResults->setColumnWidth(CheckModel::StateColumn, 120);
    // Enough of a digest to compare its start and its end; the whole of it on copy.
    auto* digests = new DigestDelegate(m_ui->tblResults);
    for (const int column : {CheckModel::ExpectedColumn, CheckModel::ActualColumn}) {
        m_ui->tblResults->setItemDelegateForColumn(column, digests);
        m_ui->tblResults->setColumnWidth(column, DigestDelegate::widthForDigits(20));
    }
    // Six rows stay in sight however small the window is made: the results are what it is for.
    m_ui->tblResults->setMinimumHeight(m_ui->tblResults->horizontalHeader()->sizeHint().height() +
                                       6 * m_ui->tblResults->verticalHeader()->defaultSectionSize() +
                                       2 * m_ui->tblResults->frameWidth());
    // Room for the widest figures (terabytes, a speed, hours left), so the progress is never cut at the smallest size
    // nor wrapped; a longer text still never widens the window.
    CheckProgress widest;
    widest.totalBytes = quint64(999) << 40;
    widest.bytesDone = widest.totalBytes / 3;
    widest.bytesPerSecond = 999.9e9;
    widest.secondsLeft = 99 * 3600 + 59 * 60 + 59;
    m_ui->lblProgress->setMinimumWidth(m_ui->lblProgress->fontMetrics().horizontalAdvance(progressText(widest)) + 2);
    // Copying from the table copies the selected rows as the report writes them; from one row, the current cell.
    auto* copyRows = new QShortcut(QKeySequence::Copy, m_ui->tblResults, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copyRows, &QShortcut::activated, this, &frmCheck::copySelectedRows);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, &m_session, &CheckSession::cancel);

    connect(m_ui->cmdOpenList, &QPushButton::clicked, this, &frmCheck::openList);
    connect(m_ui->cmdChooseFile, &QPushButton::clicked, this, &frmCheck::chooseFile);
    connect(m_ui->cmdCompare, &QPushButton::clicked, this, &frmCheck::chooseSecond);
    connect(m_ui->cmdPaste, &QPushButton::clicked, this, &frmCheck::pasteDigest);
    connect(m_ui->txtPaste, &QLineEdit::returnPressed, this, &frmCheck::pasteDigest);
    connect(m_ui->txtPaste, &QLineEdit::textEdited, this, &frmCheck::pasteEdited);
    connect(m_ui->cmdCancel, &QPushButton::clicked, &m_session, &CheckSession::cancel);
    connect(m_ui->cmdCopyResults, &QPushButton::clicked, this, &frmCheck::copyResults);
    connect(&m_reportCopy, &ReportCopy::written, this, [this](const QString& report) { m_clipboard.setText(report); });
    // The heading says whether the check still runs: a FIFO given as a file turns into a list once its worker
    // finds out, between the other signals.
    connect(&m_session, &CheckSession::progressChanged, this, &frmCheck::showState);
    connect(&m_session, &CheckSession::problemsChanged, this, &frmCheck::showProblems);
    connect(&m_session, &CheckSession::foundFilesChanged, this, &frmCheck::showState);
    connect(&m_session, &CheckSession::finished, this, &frmCheck::showState);

    m_ui->lblSummary->setAccessibleDescription(m_ui->lblSummary->text());
    new DropFilter(this, [this](const QStringList& paths) { takeFiles(paths); });
    showProblems();
    showState();
}

frmCheck::~frmCheck() = default;

void frmCheck::takeFile(const QString& path)
{
    takeFiles({path});
}

void frmCheck::takeFiles(const QStringList& paths)
{
    QList<QByteArray> natives;
    for (const QString& path : paths) {
        const std::optional<QByteArray> native = nativePathFor(path);
        if (!native || native->isEmpty()) {
            announce(tr("Not a file name: \u201c%1\u201d").arg(displayTextForPath(path)));
            return;
        }
        natives.append(*native);
    }
    const bool compare = m_ui->chkDropCompares->isEnabled() && m_ui->chkDropCompares->isChecked();
    m_ui->chkDropCompares->setChecked(false);
    showText(m_ui->lblPasteAnswer, {});
    m_intake.takeDropped(natives, compare);
    showState();
}

void frmCheck::choose(const QString& title, std::function<void(const QByteArray& path)> take)
{
    m_fileDialog.chooseFile(this, title, [this, take = std::move(take)](const FileChoice& answer) {
        const ChosenFile chosen = chosenFile(answer);
        if (!chosen.refusal.isEmpty()) {
            announce(chosen.refusal);
            return;
        }
        if (const std::optional<QByteArray> path = nativePathFor(chosen.path); path && !path->isEmpty()) {
            take(*path);
            showState();
        }
    });
}

void frmCheck::openList()
{
    choose(tr("Open a Checksum File"), [this](const QByteArray& path) {
        showText(m_ui->lblPasteAnswer, {});
        m_intake.takeList(path);
    });
}

void frmCheck::chooseFile()
{
    choose(tr("Choose a File to Check"), [this](const QByteArray& path) {
        showText(m_ui->lblPasteAnswer, {});
        m_intake.takeDataFile(path);
    });
}

void frmCheck::chooseSecond()
{
    choose(tr("Choose a File to Compare With"), [this](const QByteArray& path) { m_intake.compareWithLoaded(path); });
}

void frmCheck::pasteDigest()
{
    const QString pasted = m_ui->txtPaste->text();
    showText(m_ui->lblPasteAnswer, pasteAnswerText(m_session.paste(pasted), m_session, pasted));
    showState();
}

void frmCheck::pasteEdited(const QString& text)
{
    if (answersAtOnce(std::exchange(m_pasteText, text), text)) {
        pasteDigest();
    }
}

void frmCheck::copyResults()
{
    m_reportCopy.start(m_session.reportText());
}

void frmCheck::copySelectedRows()
{
    std::vector<std::pair<qsizetype, qsizetype>> rows =
        selectedRowRanges(m_ui->tblResults->selectionModel()->selection());
    if (rows.empty() || (rows.size() == 1 && rows.front().second - rows.front().first == 1)) {
        // One row: the current cell whole, a digest to paste elsewhere.
        m_clipboard.setText(m_ui->tblResults->currentIndex().data().toString());
        return;
    }
    m_reportCopy.start(std::make_unique<ReportText>(m_model, std::move(rows), m_session.reportFolder()));
}

void frmCheck::showProgress()
{
    const CheckProgress progress = m_session.progress();
    const int permille = progressPermille(progress);
    const bool running = m_session.isRunning();
    if (running && permille < 0) {
        m_ui->barProgress->setRange(0, 0); // busy: the total is not known yet
    } else {
        m_ui->barProgress->setRange(0, 1000);
        m_ui->barProgress->setValue(std::max(0, permille));
    }
    showText(m_ui->lblProgress, running || progress.totalBytes > 0 ? progressText(progress) : QString());
    m_ui->cmdCancel->setEnabled(running);
    if (m_session.mode() != CheckSession::Mode::Idle) {
        announce(m_session.summary());
    }
}

void frmCheck::showProblems()
{
    // Problems only grow during a run and start afresh with the next: only the new ones are added, so that a list
    // of ten thousand bad lines is not shown again at each delivery.
    const QStringList& problems = m_session.problems();
    if (problems.size() < m_ui->lstProblems->count()) {
        m_ui->lstProblems->clear();
    }
    m_ui->lstProblems->addItems(problems.mid(m_ui->lstProblems->count()));
    // Shown only when there are some: an empty box would take the results' rows at a small window size.
    const bool any = m_ui->lstProblems->count() > 0;
    m_ui->lblProblems->setVisible(any);
    m_ui->lstProblems->setVisible(any);
}

void frmCheck::showState()
{
    showText(m_ui->lblFound, foundText(m_session));
    m_ui->lblFound->setAccessibleName(m_session.mode() == CheckSession::Mode::Compare ? tr("Comparison")
                                      : m_session.mode() == CheckSession::Mode::List  ? tr("Checksum list")
                                                                                      : tr("Published digests found"));
    m_ui->lblFound->setVisible(!m_ui->lblFound->text().isEmpty());
    const bool dataFile = !m_intake.dataFile().isEmpty();
    m_ui->cmdCompare->setEnabled(dataFile);
    m_ui->chkDropCompares->setEnabled(dataFile);
    showProgress();
}

void frmCheck::announce(const QString& text)
{
    showText(m_ui->lblSummary, text);
}

void frmCheck::showText(QLabel* label, const QString& text)
{
    // Set only when it changes: each change is read out by a screen reader, from the description, since the
    // label's accessible name says what it is.
    if (label->text() != text) {
        label->setText(text);
        label->setAccessibleDescription(text);
    }
}

void frmCheck::closeEvent(QCloseEvent* event)
{
    event->accept();
    QCoreApplication::quit();
}
