#include "frmAbout.h"

#include "AccessibleRoles.h"
#include "Artwork.h"
#include "ClickFilter.h"
#include "ui_frmAbout.h"
#include "Version.h"

#include <algorithm>
#include <QApplication>
#include <QIcon>
#include <QScreen>

frmAbout::frmAbout(QWidget* owner, std::function<void()> openHomePage)
    : QWidget(owner), m_ui((useArtwork(), useAccessibleRoles("frmAbout"), std::make_unique<Ui::frmAbout>())),
      m_openHomePage(std::move(openHomePage))
{
    m_ui->setupUi(this);
    m_ui->lblVersionVal->setText(kVersionText);
    // A dialog of its owner's: no taskbar entry, a close box only, fixed size. Being a plain widget rather than a
    // QDialog, Escape does not close it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(300, 301);
    // Through QIcon, which picks the @2x rendering on a high-density screen; a plain pixmap would be scaled up.
    m_ui->imgAbout->setPixmap(QIcon(QStringLiteral(":/about.png")).pixmap(QSize(300, 300), devicePixelRatioF()));
    m_ui->imgAbout->lower();
    // The labels and the button lie over the picture and take their own clicks, so only its bare part opens the
    // page. The window opens over the banner that was clicked: the rest of a double click must not land here.
    new ClickFilter(
        m_ui->imgAbout, [this] { m_openHomePage(); },
        [this] { return m_shown.hasExpired(QApplication::doubleClickInterval()); });
    connect(m_ui->cmdExit, &QPushButton::clicked, this, &QWidget::hide);
    m_ui->cmdExit->setFocus();
}

frmAbout::~frmAbout() = default;

void frmAbout::showOrRaise()
{
    if (!m_placed && parentWidget()) {
        m_placed = true;
        // The client areas centred on each other; move() would place the frame there instead. A main window at the
        // screen's edge would push the About window partly off it, so it is kept inside the screen's free area.
        QRect placed(parentWidget()->geometry().center() - rect().center(), size());
        if (const QScreen* screen = parentWidget()->screen()) {
            const QRect free = screen->availableGeometry();
            placed.moveLeft(std::clamp(placed.left(), free.left(), std::max(free.left(), free.right() + 1 - width())));
            placed.moveTop(std::clamp(placed.top(), free.top(), std::max(free.top(), free.bottom() + 1 - height())));
        }
        setGeometry(placed);
    }
    m_shown.start();
    show();
    raise();
    activateWindow();
}
