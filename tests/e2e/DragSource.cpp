// Drag source for the end-to-end test: another X client that drags files the way a file manager does.
//   keswin-drag-source FILE...
// A left-button press anywhere in its window starts a drag of the files' URLs. It prints "dragging" once the press is
// taken, and "over copy" (or "over ignore") whenever the target under the pointer answers, so that a test releases
// the button only over a target that takes the files. When the drag ends it prints the action the target last agreed
// to ("copy", or "ignore" when no target wanted the files) and exits once the target has taken the files, printing
// "finished" when the target reported so.

#include <cstdio>
#include <QApplication>
#include <QDrag>
#include <QList>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <utility>

namespace {

class DragSource final : public QWidget
{
public:
    explicit DragSource(QList<QUrl> urls) : m_urls(std::move(urls))
    {
        setWindowTitle(QStringLiteral("Drag Source"));
        setFixedSize(120, 80);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton) {
            return;
        }
        // Started on the press itself: the test moves the pointer away in steps, and a drag started only after
        // some movement would begin wherever that threshold happens to be crossed.
        auto* files = new QMimeData;
        files->setUrls(m_urls);
        auto* drag = new QDrag(this);
        const QPointer<QDrag> finishing(drag);
        drag->setMimeData(files);
        connect(drag, &QDrag::actionChanged, this, [](Qt::DropAction action) {
            say(action == Qt::CopyAction ? "over copy" : action == Qt::IgnoreAction ? "over ignore" : "over other");
        });
        // Said once the press is taken: from here on the button's implicit grab sends every move to this program,
        // whose drag takes them up as soon as it has begun.
        say("dragging");
        const Qt::DropAction result = drag->exec(Qt::CopyAction);
        std::printf("%s\n", result == Qt::CopyAction ? "copy" : result == Qt::IgnoreAction ? "ignore" : "other");
        std::fflush(stdout);
        if (result == Qt::IgnoreAction) {
            QApplication::quit();
            return;
        }
        // The target fetches the URLs from us only after the drop, as the drag's selection owner; leaving at once
        // would leave it nothing to read. Qt deletes the drag when the target reports it has finished.
        const auto finished = [] {
            std::printf("finished\n");
            std::fflush(stdout);
            QApplication::quit();
        };
        if (!finishing) {
            finished();
            return;
        }
        connect(drag, &QObject::destroyed, qApp, finished);
        // A target that never reports back must not keep the test waiting.
        QTimer::singleShot(5000, qApp, &QApplication::quit);
    }

private:
    static void say(const char* line)
    {
        std::printf("%s\n", line);
        std::fflush(stdout);
    }

    QList<QUrl> m_urls;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QList<QUrl> urls;
    for (const QString& path : QApplication::arguments().mid(1)) {
        urls.append(QUrl::fromLocalFile(path));
    }
    if (urls.isEmpty()) {
        std::fprintf(stderr, "usage: keswin-drag-source FILE...\n");
        return 2;
    }
    DragSource window(urls);
    window.show();
    return QApplication::exec();
}
