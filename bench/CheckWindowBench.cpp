// The check window on one list, as a user meets it: when its first row shows, the longest the window's thread went
// without answering, when the check ends, the peak resident memory and its share per row, and, with --copy, the
// same after Copy Results. With --close-after S the window is closed S seconds in, and the program ends as
// keswin-check's does: at once, without waiting for its workers. Prints "closed at EPOCH" just before it goes, for
// the script to time the way out.
#include "frmCheck.h"
#include "LiveWorker.h"
#include "ProcessFileDialog.h"
#include "QtClipboard.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <sys/resource.h>

namespace {

double peakMiB()
{
    rusage usage = {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double epochSeconds()
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: keswin-check-window-bench LIST [--copy] [--close-after SECONDS]\n");
        return 2;
    }
    const bool copy = arguments.contains(QStringLiteral("--copy"));
    const qsizetype closeAt = arguments.indexOf(QStringLiteral("--close-after"));
    const double closeAfter = closeAt > 0 ? arguments.value(closeAt + 1).toDouble() : -1;

    ProcessFileDialog fileDialog;
    QtClipboard clipboard;
    frmCheck window(fileDialog, clipboard);
    window.show();
    const double baseMiB = peakMiB();

    QElapsedTimer since;
    double firstRow = -1;
    double longestStallMs = 0;
    double longestBeforeCopy = 0;
    QElapsedTimer copying;
    QElapsedTimer sinceBeat;
    // A beat every 10 ms: the longest gap between beats, less the 10 ms, is the longest the window did not answer.
    QTimer beat;
    beat.setInterval(10);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        longestStallMs = std::max(longestStallMs, static_cast<double>(sinceBeat.nsecsElapsed()) / 1e6 - 10);
        sinceBeat.start();
        if (firstRow < 0 && window.model().size() > 0) {
            firstRow = static_cast<double>(since.nsecsElapsed()) / 1e9;
        }
    });
    const auto close = [&] {
        std::printf("rows %lld, first row %.3f s, longest stall %.0f ms, peak %.0f MiB (%.0f at start)\n",
                    static_cast<long long>(window.model().size()), firstRow, longestStallMs, peakMiB(), baseMiB);
        std::printf("closed at %.3f\n", epochSeconds());
        std::fflush(stdout);
        window.close();
    };
    QObject::connect(&window.session(), &CheckSession::finished, [&] {
        const double finished = static_cast<double>(since.nsecsElapsed()) / 1e9;
        const double rows = static_cast<double>(std::max<qsizetype>(window.model().size(), 1));
        std::printf("finished %.3f s; %.0f bytes a row over the start\n", finished,
                    (peakMiB() - baseMiB) * 1024 * 1024 / rows);
        if (copy) {
            // As a user copies: the button, and the text in the clipboard once the window has written it.
            copying.start();
            longestBeforeCopy = std::exchange(longestStallMs, 0);
            QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, [&, rows] {
                std::printf("copied in %.3f s, longest stall while copying %.0f ms; peak %.0f MiB, %.0f bytes a row "
                            "over the start\n",
                            static_cast<double>(copying.nsecsElapsed()) / 1e9, longestStallMs, peakMiB(),
                            (peakMiB() - baseMiB) * 1024 * 1024 / rows);
                longestStallMs = std::max(longestStallMs, longestBeforeCopy);
                if (closeAfter < 0) {
                    QTimer::singleShot(0, close);
                }
            });
            window.findChild<QPushButton*>(QStringLiteral("cmdCopyResults"))->click();
            return;
        }
        if (closeAfter < 0) {
            QTimer::singleShot(0, close);
        }
    });
    if (closeAfter >= 0) {
        QTimer::singleShot(static_cast<int>(closeAfter * 1000), close);
    }
    since.start();
    sinceBeat.start();
    beat.start();
    window.takeFile(arguments[1]);
    const int status = QApplication::exec();
    if (LiveWorker::count() > 0) {
        std::fflush(nullptr);
        std::_Exit(status); // as keswin-check: workers abandoned in a read are never waited for
    }
    return status;
}
