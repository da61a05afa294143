#pragma once

#include "DigestEngine.h"
#include "DigestRun.h"
#include "FakeFileDialog.h"
#include "FakeMessageBox.h"
#include "frmMain.h"
#include "GatedReader.h"
#include "QtClipboard.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>

// The main window over the real engine, the real clipboard (offscreen) and fakes for the modal dialogs. Reads of
// files whose name contains ".hang" wait at the gate, which opens when the rig goes.
struct WindowRig
{
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    FakeMessageBox messages;
    FakeFileDialog fileDialog;
    QtClipboard clipboard;
    int homePageOpenings = 0; // counted instead of opening a browser
    frmMain window{std::make_shared<DigestEngine>(gatedOpener(gate, ".hang")), messages, fileDialog, clipboard,
                   [this] { ++homePageOpenings; }};

    ~WindowRig()
    {
        // Workers left at the gate end now; they must be gone before the next test or the process's end.
        gate->open();
        for (QDeadlineTimer deadline(10'000); DigestRun::liveWorkers() > 0 && !deadline.hasExpired();) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
};
