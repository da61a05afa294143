// The About window, opened from the main window's banner.

#include "frmAbout.h"
#include "TempFiles.h"
#include "WindowRig.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

class TestAboutWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void bannerOpensTheOneAboutWindow();
    void laidOutOverItsArtwork();
    void staysOnScreenBesideAnEdge();
    void onlyThePictureOpensTheHomePage();
    void closeHidesAndKeyboardCannotLoseIt();
    void mainWindowIsUntouched();

private:
    frmMain& window() { return m_rig->window; }
    frmAbout* openAbout()
    {
        QTest::mouseClick(window().findChild<QWidget*>(QStringLiteral("imgTitle")), Qt::LeftButton);
        return window().aboutWindow();
    }
    template <typename T> T* in(frmAbout* about, const char* name)
    {
        return about->findChild<T*>(QString::fromLatin1(name));
    }

    TempFiles m_files;
    std::unique_ptr<WindowRig> m_rig;
};

void TestAboutWindow::init()
{
    m_rig = std::make_unique<WindowRig>();
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
}

void TestAboutWindow::cleanup()
{
    m_rig.reset();
}

void TestAboutWindow::bannerOpensTheOneAboutWindow()
{
    QVERIFY(!window().aboutWindow()); // made on first use only
    frmAbout* about = openAbout();
    QVERIFY(about);
    QVERIFY(QTest::qWaitForWindowExposed(about));
    for (int click = 0; click < 5; ++click) {
        QCOMPARE(openAbout(), about);
    }
    QCOMPARE(window().findChildren<frmAbout*>().size(), 1);
    QVERIFY(about->isVisible());
    QCOMPARE(m_rig->homePageOpenings, 0);
}

void TestAboutWindow::laidOutOverItsArtwork()
{
    // Away from the screen's edges, where nothing keeps the About window from being centred.
    window().move(window().screen()->availableGeometry().center() - window().rect().center());
    frmAbout* about = openAbout();
    QCOMPARE(about->windowTitle(), QStringLiteral("About Keswin Hash"));
    QCOMPARE(about->size(), QSize(300, 301));
    QCOMPARE(about->minimumSize(), about->maximumSize());
    const Qt::WindowFlags flags = about->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog); // its owner's dialog: no taskbar entry
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint) && !flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(in<QLabel>(about, "imgAbout")->geometry(), QRect(0, 0, 300, 300));
    QCOMPARE(in<QLabel>(about, "imgAbout")->pixmap().deviceIndependentSize().toSize(), QSize(300, 300));
    // Drawn from the rendering for the screen's density (also run at scale factor 2), never scaled up.
    QCOMPARE(in<QLabel>(about, "imgAbout")->pixmap().devicePixelRatio(), about->devicePixelRatioF());
    auto* banner = window().findChild<QLabel*>(QStringLiteral("imgTitle"));
    QCOMPARE(banner->pixmap().devicePixelRatio(), window().devicePixelRatioF());
    QCOMPARE(banner->pixmap().deviceIndependentSize().toSize(), QSize(278, 49));
    QCOMPARE(in<QLabel>(about, "lblVersion")->geometry(), QRect(48, 176, 65, 17));
    QCOMPARE(in<QLabel>(about, "lblVersion")->text(), QStringLiteral("Version:"));
    auto* version = in<QLabel>(about, "lblVersionVal");
    QCOMPARE(version->text(), QStringLiteral("1.00"));
    QCOMPARE(version->geometry().right() + 1, 249); // right-aligned, ending at x = 249
    QVERIFY(version->alignment().testFlag(Qt::AlignRight));
    auto* notice = in<QLabel>(about, "lblCopyright");
    QCOMPARE(notice->geometry(), QRect(48, 208, 225, 73));
    QVERIFY(notice->wordWrap() && !notice->text().isEmpty());
    QVERIFY(notice->heightForWidth(225) <= 73); // the whole notice fits its box
    QCOMPARE(in<QPushButton>(about, "cmdExit")->geometry(), QRect(200, 272, 97, 25));
    // The picture lies behind everything else.
    QCOMPARE(about->children().indexOf(in<QLabel>(about, "imgAbout")), 0);
    // Centred over the main window, give or take the frames' borders.
    QVERIFY((about->geometry().center() - window().geometry().center()).manhattanLength() <= 8);
}

// A main window in the screen's corner (the first window on a desktop without a window manager sits there).
void TestAboutWindow::staysOnScreenBesideAnEdge()
{
    const QRect free = window().screen()->availableGeometry();
    window().move(free.topLeft());
    QTRY_VERIFY(window().geometry().left() < free.left() + 20); // the frame's border may come first
    frmAbout* about = openAbout();
    QVERIFY2(free.contains(about->geometry()), qPrintable(QStringLiteral("About at %1,%2 on a screen from %3,%4")
                                                              .arg(about->x())
                                                              .arg(about->y())
                                                              .arg(free.x())
                                                              .arg(free.y())));
}

void TestAboutWindow::onlyThePictureOpensTheHomePage()
{
    frmAbout* about = openAbout();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    auto* picture = in<QLabel>(about, "imgAbout");
    // The rest of a double click on the banner lands on the picture, which has just opened under the pointer.
    QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(150, 60));
    QCOMPARE(m_rig->homePageOpenings, 0);
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(150, 60));
    QCOMPARE(m_rig->homePageOpenings, 1);
    QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(20, 290));
    QCOMPARE(m_rig->homePageOpenings, 2); // every click, no limit
    QTest::mouseClick(picture, Qt::RightButton, {}, QPoint(150, 60));
    for (const char* covering : {"lblVersion", "lblVersionVal", "lblCopyright", "cmdExit"}) {
        QTest::mouseClick(about->findChild<QWidget*>(QString::fromLatin1(covering)), Qt::LeftButton);
    }
    QCOMPARE(m_rig->homePageOpenings, 2);
}

void TestAboutWindow::closeHidesAndKeyboardCannotLoseIt()
{
    frmAbout* about = openAbout();
    QVERIFY(QTest::qWaitForWindowExposed(about));
    auto* close = in<QPushButton>(about, "cmdExit");
    QCOMPARE(about->focusWidget(), close); // the only control that takes the focus
    for (QWidget* child : about->findChildren<QWidget*>()) {
        QCOMPARE(child->focusPolicy() != Qt::NoFocus, child == close);
    }
    QTest::keyClick(about, Qt::Key_Escape);
    QVERIFY(about->isVisible());
    QTest::keyClick(close, Qt::Key_Space);
    QVERIFY(!about->isVisible());
    QCOMPARE(openAbout(), about);
    QTest::keyClick(close, Qt::Key_Return);
    QVERIFY(!about->isVisible());
    QCOMPARE(openAbout(), about);
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(!about->isVisible());
    QCOMPARE(openAbout(), about);
    QVERIFY(about->close()); // the close box
    QCOMPARE(openAbout(), about);
    QVERIFY(about->isVisible());
    QVERIFY(!about->acceptDrops());
}

void TestAboutWindow::mainWindowIsUntouched()
{
    const QString file = m_files.write(QStringLiteral("kept.txt"), "kept");
    window().session().TakeInputPath(file);
    QTRY_COMPARE(window().textBox(ResultRow::Sha256)->text(), firstWordOf("sha256sum", {file}));
    window().tickBox(ResultRow::Md5)->setChecked(true);
    window().textBox(ResultRow::FileSize)->setText(QStringLiteral("typed"));
    frmAbout* about = openAbout();
    QTest::mouseClick(in<QPushButton>(about, "cmdExit"), Qt::LeftButton);
    openAbout()->close();
    QCOMPARE(window().textBox(ResultRow::FileName)->text(), QStringLiteral("kept.txt"));
    QCOMPARE(window().textBox(ResultRow::FileSize)->text(), QStringLiteral("typed"));
    QVERIFY(window().tickBox(ResultRow::Md5)->isChecked());
    QVERIFY(m_rig->messages.texts.isEmpty());
}

QTEST_MAIN(TestAboutWindow)
#include "TestAboutWindow.moc"
