#pragma once

#include <QString>

// The system clipboard, written only: the copy buttons replace what it holds with one plain text.
class Clipboard
{
public:
    virtual ~Clipboard() = default;
    virtual void setText(const QString& text) = 0;
};
