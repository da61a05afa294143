#include "ChosenFile.h"

#include "LocalFileUrl.h"
#include "NativePath.h"

#include <QCoreApplication>

ChosenFile chosenFile(const QUrl& answer)
{
    if (answer.isEmpty()) {
        return {};
    }
    const std::optional<QString> path = localFileOfUrl(answer);
    if (!path) {
        return {{},
                QCoreApplication::translate("ChosenFile", "The file dialog chose no file on this computer: %1")
                    .arg(answer.toDisplayString())};
    }
    // A dialog that reads a name's bytes as UTF-8 puts U+FFFD for each byte it cannot read, and so names another
    // file, which may exist. Such a name cannot be told from one that really holds U+FFFD: neither is analysed.
    if (path->contains(QChar::ReplacementCharacter)) {
        return {{},
                QCoreApplication::translate("ChosenFile",
                                            "The file dialog cannot give the exact name of %1\n\nThe name holds "
                                            "\uFFFD, which a dialog puts in place of bytes it cannot read, so it "
                                            "may be the name of another file. Drop the file on this window "
                                            "instead.")
                    .arg(displayTextForPath(*path))};
    }
    return {*path, {}};
}

ChosenFile chosenFile(const FileChoice& answer)
{
    return answer.failure.isEmpty() ? chosenFile(answer.chosen) : ChosenFile{QString(), answer.failure};
}
