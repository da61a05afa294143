#pragma once

#include <functional>
#include <QString>
#include <QUrl>

class QObject;

// A dialog to choose one existing file. It returns at once: the window goes on answering while it is open.
class FileDialog
{
public:
    using Answer = std::function<void(const QUrl& chosen)>;

    virtual ~FileDialog() = default;
    // Shows the dialog, unless one is open already. `answer` is called once it has closed, on the context's thread
    // and only while the context lives, with the file chosen, or with the empty URL when none was. A URL, not a path:
    // it can keep the bytes of a name that is not UTF-8, percent-encoded.
    virtual void chooseFile(QObject* context, const QString& title, Answer answer) = 0;
};
