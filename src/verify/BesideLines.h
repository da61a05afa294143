#pragma once

#include "Algorithms.h"

#include <optional>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Why a line of a checksum file beside dataName, which the parser could not take, is a problem worth telling: a
// digest cut short, a length no algorithm has, an algorithm not supported. Nothing for a line not meant for the file:
// in a list, one that does not name it; in a sidecar (NAME.suffix), one that is no attempt at a digest at all, such
// as the lines of a signature.
std::optional<QString> besideLineProblem(QByteArrayView line, const QByteArray& dataName,
                                         std::optional<HashAlgorithm> named, bool sidecar);
