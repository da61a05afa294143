// Drag source for the end-to-end test: another X client that drags files the way a file manager does, or a text the
// way an editor does, or a web link the way a browser does.
//   keswin-drag-source FILE-OR-URL...
//   keswin-drag-source --text TEXT
//   keswin-drag-source --link URL
// It prints "ready" once its window is on the screen. A left-button press anywhere in its window starts a drag of the
// files' URLs (or the text, or the link), and it prints "started". While the drag goes on it prints "accepted" when a
// target agrees to take it as a copy and "refused" when that stops. When the drag ends it prints the action the target
// last agreed to ("copy", or "ignore" when no target wanted it) and exits once the target has taken the data, printing
// "finished" when the target reported so. A file:// URL is dragged as it is given, so that it can name bytes that are
// not UTF-8.

#include <cstdio>
#include <functional>
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
    explicit DragSource(std::function<QMimeData*()> makeData) : m_makeData(std::move(makeData))
    {
        setWindowTitle(QStringLiteral("Drag Source"));
        setFixedSize(120, 80);
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override
    {
        // Drawn means shown on the screen: the test presses on the window only then.
        if (!m_painted) {
            m_painted = true;
            std::printf("ready\n");
            std::fflush(stdout);
        }
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton) {
            return;
        }
        // Started on the press itself: the test moves the pointer away in steps, and a drag started only after
        // some movement would begin wherever that threshold happens to be crossed.
        // Told, so that the test moves the pointer only once the press has started the drag.
        std::printf("started\n");
        std::fflush(stdout);
        auto* drag = new QDrag(this);
        const QPointer<QDrag> finishing(drag);
        drag->setMimeData(m_makeData());
        // The test waits for the target's answer before it moves on, rather than for some time.
        connect(drag, &QDrag::actionChanged, this, [](Qt::DropAction action) {
            std::printf("%s\n", action == Qt::CopyAction ? "accepted" : "refused");
            std::fflush(stdout);
        });
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
    std::function<QMimeData*()> m_makeData;
    bool m_painted = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments().mid(1);
    std::function<QMimeData*()> makeData;
    if (arguments.size() == 2 && arguments[0] == u"--text") {
        makeData = [text = arguments[1]] {
            auto* data = new QMimeData;
            data->setText(text);
            return data;
        };
    } else if (arguments.size() == 2 && arguments[0] == u"--link") {
        makeData = [link = QUrl(arguments[1])] {
            auto* data = new QMimeData;
            data->setUrls({link});
            return data;
        };
    } else if (!arguments.isEmpty() && !arguments[0].startsWith(u"--")) {
        QList<QUrl> urls;
        for (const QString& path : arguments) {
            urls.append(path.startsWith(u"file://") ? QUrl::fromEncoded(path.toUtf8()) : QUrl::fromLocalFile(path));
        }
        makeData = [urls] {
            auto* data = new QMimeData;
            data->setUrls(urls);
            return data;
        };
    } else {
        std::fprintf(stderr, "usage: keswin-drag-source FILE-OR-URL... | --text TEXT | --link URL\n");
        return 2;
    }
    DragSource window(std::move(makeData));
    window.show();
    return QApplication::exec();
}
