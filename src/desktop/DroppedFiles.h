#pragma once

#include <optional>
#include <QMimeData>
#include <QString>

// The first local file among what a drop carries (a file manager sends a list of URLs), named exactly as the URL
// names it; nothing when it carries no local file (text from an editor, a web link).
std::optional<QString> firstDroppedFile(const QMimeData& data);
