#pragma once

#include <functional>
#include <memory>
#include <QElapsedTimer>
#include <QWidget>

namespace Ui {
class frmAbout;
}

// The About window: the product's artwork, its version and a notice. A click on the artwork where nothing covers
// it opens the maker's home page; "Close" hides the window, to be shown again as it was.
class frmAbout final : public QWidget
{
    Q_OBJECT

public:
    // owner: the main window, over which it is centred the first time and which keeps it off the taskbar.
    frmAbout(QWidget* owner, std::function<void()> openHomePage);
    ~frmAbout() override;

    // Shows the window, centred over its owner the first time, or brings it forward when it is already shown.
    void showOrRaise();

private:
    std::unique_ptr<Ui::frmAbout> m_ui;
    std::function<void()> m_openHomePage;
    bool m_placed = false;
    QElapsedTimer m_shown;
};
