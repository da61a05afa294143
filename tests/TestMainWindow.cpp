#include "ControlNames.h"
#include "QtMessageBox.h"
#include "StartUp.h"
#include "TempFiles.h"
#include "WindowRig.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

struct Control
{
    QString name;
    QString kind;
    QString text;
    QRect geometry;
};

// The window's layout at 96 dpi, written out independently of the Designer file it checks.
QList<Control> expectedControls()
{
    const QStringList labels{"File Name:", "File Path:",     "Created Date:", "Last Accessed:", "Last Modified:",
                             "File Size:", "CRC-32 Digest:", "MD5 Hash:",     "SHA-1 Hash:",    "SHA-256 Hash:"};
    const QStringList& labelNames = ControlNames::labels;
    const QStringList& textNames = ControlNames::textBoxes;
    const QStringList& tickNames = ControlNames::tickBoxes;
    const QStringList& copyNames = ControlNames::copyButtons;
    const QList<int> labelLefts{-16, -8, -16, -16, -16, -16, -24, -16, -16, -16};

    QList<Control> controls{{"imgTitle", "QLabel", QString(), QRect(0, 0, 278, 49)}};
    for (int i = 0; i < 10; ++i) {
        const int left = labelLefts[i];
        controls.append({labelNames[i], "QLabel", labels[i], QRect(left, 56 + 20 * i, 81 - left, 17)});
        controls.append({textNames[i], "QLineEdit", QString(), QRect(88, 52 + 20 * i, 145, 19)});
        controls.append({copyNames[i], "QPushButton", QString(), QRect(236, 51 + 20 * i, 21, 20)});
        controls.append({tickNames[i], "QCheckBox", QString(), QRect(260, 55 + 20 * i, 13, 13)});
    }
    controls.append({"cmdBrowse", "QPushButton", "Browse...", QRect(8, 256, 73, 25)});
    controls.append({"cmdCopyAll", "QPushButton", "Copy All", QRect(88, 256, 89, 25)});
    controls.append({"cmdCopySel", "QPushButton", "Copy Selected", QRect(184, 256, 89, 25)});
    return controls;
}

QString textOf(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->text();
    }
    return QStringLiteral("<unknown kind>");
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void everyControlIsWhereItBelongs();
    void windowIsFixedWithACloseBoxOnly();
    void focusMovesThroughTheControlsInOrder();
    void labelsFitAndButtonsAreNotDefault();
    void focusedButtonIsPressedByEnterAndSpace();
    void startUpShowsTheFileAndItsDigests();
    void refusedStartUpPathShowsTheMessageWithTheCaption();
    void typedTextStaysUntilTheNextAnalysis();
    void closingDuringAnalysisStopsTheDigests();
    void quotesInANameArriveWhole();
    void bulletinReminderRunsAfterTheArgumentsBeforeTheAnalysis();
    void windowAnswersWhileAReadHangs();
    void messagesArePlainTextAndBelongToTheShownWindow();

private:
    TempFiles m_files;
    std::unique_ptr<WindowRig> m_rig;
    FakeMessageBox* m_messages = nullptr;
    frmMain* m_window = nullptr;
    Gate* m_gate = nullptr;
};

void TestMainWindow::init()
{
    m_rig = std::make_unique<WindowRig>();
    m_messages = &m_rig->messages;
    m_window = &m_rig->window;
    m_gate = m_rig->gate.get();
}

void TestMainWindow::cleanup()
{
    m_rig.reset();
    QCOMPARE(DigestRun::liveWorkers(), 0);
}

void TestMainWindow::everyControlIsWhereItBelongs()
{
    const QList<Control> controls = expectedControls();
    QCOMPARE(controls.size(), 44);
    for (const Control& control : controls) {
        const auto* widget = m_window->findChild<QWidget*>(control.name);
        QVERIFY2(widget, qPrintable(control.name));
        QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), control.kind);
        QCOMPARE(textOf(widget), control.text);
        QCOMPARE(widget->geometry(), control.geometry);
        QVERIFY2(widget->isVisibleTo(m_window) && widget->isEnabled(), qPrintable(control.name));
        QVERIFY2(widget->toolTip().isEmpty(), qPrintable(control.name));
    }
    const auto* banner = m_window->findChild<QLabel*>(QStringLiteral("imgTitle"));
    QCOMPARE(banner->pixmap().deviceIndependentSize().toSize(), QSize(278, 49));
    const auto* copy = m_window->findChild<QPushButton*>(QStringLiteral("cmdCopyMD5"));
    QVERIFY(!copy->icon().isNull());
    QCOMPARE(copy->iconSize(), QSize(16, 16));
    for (const auto* edit : m_window->findChildren<QLineEdit*>()) {
        QVERIFY(!edit->isReadOnly());
        QVERIFY(edit->text().isEmpty());
    }
    for (const auto* box : m_window->findChildren<QCheckBox*>()) {
        QVERIFY(!box->isChecked());
    }
}

void TestMainWindow::windowIsFixedWithACloseBoxOnly()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Keswin Hash"));
    QCOMPARE(m_window->size(), QSize(278, 286));
    QCOMPARE(m_window->minimumSize(), QSize(278, 286));
    QCOMPARE(m_window->maximumSize(), QSize(278, 286));
    const Qt::WindowFlags flags = m_window->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window); // a normal window keeps its taskbar entry
    QVERIFY(!m_window->windowIcon().isNull());
}

void TestMainWindow::focusMovesThroughTheControlsInOrder()
{
    // Text boxes, the two copy-report buttons, the row copy buttons, the tick boxes, then Browse.
    const QStringList order = ControlNames::textBoxes + QStringList{"cmdCopyAll", "cmdCopySel"} +
                              ControlNames::copyButtons + ControlNames::tickBoxes + QStringList{"cmdBrowse"};
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QTRY_COMPARE(QApplication::focusWidget()->objectName(), order.front());
    for (qsizetype i = 1; i <= order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), order[i % order.size()]);
    }
    for (const auto* label : m_window->findChildren<QLabel*>()) {
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    }
}

void TestMainWindow::labelsFitAndButtonsAreNotDefault()
{
    for (const auto* label : m_window->findChildren<QLabel*>()) {
        if (label->objectName().startsWith(QStringLiteral("lbl"))) {
            // Right-aligned text must begin inside the window, which starts at x = 0.
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->geometry().right(),
                     qPrintable(label->text()));
        }
    }
    for (const auto* button : m_window->findChildren<QPushButton*>()) {
        QVERIFY2(!button->isDefault(), qPrintable(button->objectName()));
    }
}

void TestMainWindow::focusedButtonIsPressedByEnterAndSpace()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    auto* button = m_window->findChild<QPushButton*>(QStringLiteral("cmdCopyAll"));
    QSignalSpy clicked(button, &QPushButton::clicked);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(clicked.size(), 2);
    QTest::keyClick(m_window->textBox(ResultRow::Md5), Qt::Key_Escape);
    QVERIFY(m_window->isVisible());
}

void TestMainWindow::startUpShowsTheFileAndItsDigests()
{
    const QString file = m_files.write(QStringLiteral("shown file.txt"), "The quick brown fox");
    Form_Load(m_window->session(), {file, QStringLiteral("ignored")});
    // Facts are in before the window is shown; the digests follow without blocking.
    QCOMPARE(m_window->textBox(ResultRow::FileName)->text(), QStringLiteral("shown file.txt"));
    m_window->show();
    QTRY_COMPARE(m_window->textBox(ResultRow::Sha256)->text(), firstWordOf("sha256sum", {file}));
    QCOMPARE(m_window->textBox(ResultRow::FilePath)->text(), file);
    QCOMPARE(m_window->textBox(ResultRow::FileSize)->text(), QStringLiteral("19"));
    QCOMPARE(m_window->textBox(ResultRow::Crc32)->text(), firstWordOf("rhash", {"--printf=%c", file}));
    QCOMPARE(m_window->textBox(ResultRow::Md5)->text(), firstWordOf("md5sum", {file}));
    QCOMPARE(m_window->textBox(ResultRow::Sha1)->text(), firstWordOf("sha1sum", {file}));
    QVERIFY(m_messages->texts.isEmpty());
}

void TestMainWindow::refusedStartUpPathShowsTheMessageWithTheCaption()
{
    m_window->tickBox(ResultRow::Md5)->setChecked(true);
    Form_Load(m_window->session(), {m_files.path(QStringLiteral("no such file"))});
    QCOMPARE(m_messages->captions, QStringList{"Keswin Hash"});
    QCOMPARE(m_messages->owners, QList<QWidget*>{m_window});
    QCOMPARE(m_messages->texts, QStringList{"Invalid file path: " + m_files.path(QStringLiteral("no such file"))});
    QVERIFY(!m_window->tickBox(ResultRow::Md5)->isChecked());
    QVERIFY(!m_window->isVisible());
}

void TestMainWindow::typedTextStaysUntilTheNextAnalysis()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QLineEdit* md5 = m_window->textBox(ResultRow::Md5);
    md5->setFocus();
    QTest::keyClicks(md5, QStringLiteral("typed by hand"));
    QCOMPARE(md5->text(), QStringLiteral("typed by hand"));
    m_window->session().TakeInputPath(m_files.write(QStringLiteral("next"), "n"));
    QVERIFY(md5->text() != QStringLiteral("typed by hand"));
}

void TestMainWindow::closingDuringAnalysisStopsTheDigests()
{
    const QString big = m_files.writeSparse(QStringLiteral("huge"), qint64{64} << 30);
    Form_Load(m_window->session(), {big});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    QVERIFY(m_window->session().isRunning());
    QVERIFY(m_window->close());
    QVERIFY(!m_window->session().isRunning());
    QCOMPARE(m_window->textBox(ResultRow::Crc32)->text(), QStringLiteral("Calculating ..."));
    QCOMPARE(m_window->textBox(ResultRow::Sha256)->text(), QStringLiteral("Waiting ..."));
}

// The system hands each argument over whole; a double quote is part of the name, not a quoting mark.
void TestMainWindow::quotesInANameArriveWhole()
{
    const QString file = m_files.write(QStringLiteral(R"(say "hi".txt)"), "hi");
    Form_Load(m_window->session(), {file, QStringLiteral(R"(a"b)"), QStringLiteral("c")});
    QVERIFY(m_messages->texts.isEmpty());
    QCOMPARE(m_window->textBox(ResultRow::FileName)->text(), QStringLiteral(R"(say "hi".txt)"));
    QTRY_COMPARE(m_window->textBox(ResultRow::Md5)->text(), firstWordOf("md5sum", {file}));
}

void TestMainWindow::bulletinReminderRunsAfterTheArgumentsBeforeTheAnalysis()
{
    const QString file = m_files.write(QStringLiteral("after the reminder"), "r");
    QStringList seen;
    Form_Load(m_window->session(), {file}, [&] {
        seen = {m_window->session().currentPath(), m_window->textBox(ResultRow::FileName)->text()};
    });
    QCOMPARE(seen, (QStringList{file, QString()})); // the path taken, nothing analysed yet
    QCOMPARE(m_window->textBox(ResultRow::FileName)->text(), QStringLiteral("after the reminder"));

    seen.clear();
    Form_Load(m_window->session(), {}, [&] { seen = {QStringLiteral("ran")}; });
    QCOMPARE(seen, QStringList{"ran"}); // on every start, a path or not
}

void TestMainWindow::windowAnswersWhileAReadHangs()
{
    const QString hanging = m_files.write(QStringLiteral("stuck.hang"), TempFiles::randomBytes(50'000, 4));
    Form_Load(m_window->session(), {hanging});
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QTRY_COMPARE(m_gate->arrivals(), 1);

    QCheckBox* tick = m_window->tickBox(ResultRow::Sha1);
    QTest::mouseClick(tick, Qt::LeftButton);
    QVERIFY(tick->isChecked());
    QLineEdit* name = m_window->textBox(ResultRow::FileName);
    name->setFocus();
    QTest::keyClick(name, Qt::Key_End);
    QTest::keyClicks(name, QStringLiteral("!"));
    QCOMPARE(name->text(), QStringLiteral("stuck.hang!"));

    const QString next = m_files.write(QStringLiteral("next.bin"), "next");
    m_window->session().TakeInputPath(next);
    QTRY_COMPARE(m_window->textBox(ResultRow::Sha256)->text(), firstWordOf("sha256sum", {next}));
    QCOMPARE(m_gate->arrivals(), 1);

    // Closing returns at once although the first read is still stuck; the worker is left to end by itself.
    QVERIFY(m_window->close());
    QVERIFY(DigestRun::liveWorkers() > 0);
}

// A message quotes a path, and a path may hold anything: it is shown as plain text. Once the window is shown the
// box belongs to it; before that (the start-up refusal) it stands alone.
void TestMainWindow::messagesArePlainTextAndBelongToTheShownWindow()
{
    const QString markup = QStringLiteral("Invalid file path: t/<b>bold</b> &amp; <a href=\"x\">link</a>");
    QtMessageBox real;
    for (const bool shown : {false, true}) {
        if (shown) {
            m_window->show();
            QVERIFY(QTest::qWaitForWindowExposed(m_window));
        }
        QWidget* parent = reinterpret_cast<QWidget*>(1);
        Qt::TextFormat format = Qt::AutoText;
        QString text;
        // Polls for the box, which may need a moment to come up; gives up after a while by closing whatever is
        // modal, so that a box that never shows fails the test instead of hanging it.
        QTimer poll;
        int polls = 0;
        connect(&poll, &QTimer::timeout, this, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                    parent = box->parentWidget();
                    format = box->textFormat();
                    text = box->text();
                    box->accept();
                    return;
                }
            }
            if (++polls > 500 && QApplication::activeModalWidget()) {
                QApplication::activeModalWidget()->close();
            }
        });
        poll.start(10);
        real.show(m_window, QStringLiteral("Keswin Hash"), markup);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(text, markup);
        QCOMPARE(parent, shown ? m_window : nullptr);
    }
}

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
