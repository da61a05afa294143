#pragma once

#include <QString>

// A modal message with an OK button only and no icon; returns when the user has closed it.
class MessageBox
{
public:
    virtual ~MessageBox() = default;
    virtual void show(const QString& caption, const QString& text) = 0;
};
