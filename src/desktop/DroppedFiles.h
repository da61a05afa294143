#pragma once

#include <QMimeData>
#include <QString>
#include <QStringList>

// The local files among what a drop carries (a file manager sends a list of URLs), in its order, each named exactly
// as its URL names it; empty when it carries no local file (text from an editor, a web link).
QStringList droppedFiles(const QMimeData& data);
