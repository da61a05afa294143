#pragma once

#include <functional>
#include <QString>
#include <QUrl>

class QWidget;

// What a file dialog gave: the file chosen, or the empty URL when none was; a failure when the dialog could not be
// shown or stopped answering, said so that it can be shown as it is. A URL, not a path: it can keep the bytes of a
// name that is not UTF-8, percent-encoded.
struct FileChoice
{
    QUrl chosen;
    QString failure;
};

// A dialog to choose one existing file. It returns at once: the window goes on answering while it is open.
class FileDialog
{
public:
    using Answer = std::function<void(const FileChoice& choice)>;

    virtual ~FileDialog() = default;
    // Shows the dialog over `owner`, unless one is open already: that one is brought to the front instead. `answer`
    // is called once it has closed, on the owner's thread and only while the owner lives.
    virtual void chooseFile(QWidget* owner, const QString& title, Answer answer) = 0;
};
