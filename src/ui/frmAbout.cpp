#include "frmAbout.h"

#include "ui_frmAbout.h"

#include <QMouseEvent>

frmAbout::frmAbout(QWidget* owner, std::function<void()> openHomePage)
    : QWidget(owner), m_ui(std::make_unique<Ui::frmAbout>()), m_openHomePage(std::move(openHomePage))
{
    m_ui->setupUi(this);
    // A dialog of its owner's: no taskbar entry, a close box only, fixed size. Being a plain widget rather than a
    // QDialog, Escape does not close it.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(300, 301);
    m_ui->imgAbout->lower();
    m_ui->imgAbout->installEventFilter(this);
    connect(m_ui->cmdExit, &QPushButton::clicked, this, &QWidget::hide);
    m_ui->cmdExit->setFocus();
}

frmAbout::~frmAbout() = default;

void frmAbout::showOrRaise()
{
    if (!m_placed && parentWidget()) {
        m_placed = true;
        move(parentWidget()->geometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event)
{
    // The labels and the button lie over the picture and take their own clicks, so only the picture's bare part
    // reaches here.
    if (watched == m_ui->imgAbout && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        m_ui->imgAbout->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        m_openHomePage();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
