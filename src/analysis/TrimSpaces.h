#pragma once

#include <QString>

// Removes leading and trailing U+0020 only; tabs and other blanks are part of the text.
QString TrimSpaces(const QString& text);
