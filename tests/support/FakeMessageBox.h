#pragma once

#include "MessageBox.h"

#include <QStringList>

// Records messages instead of blocking on a modal box.
class FakeMessageBox final : public MessageBox
{
public:
    void show(const QString& caption, const QString& text) override
    {
        captions.append(caption);
        texts.append(text);
    }

    QStringList captions;
    QStringList texts;
};
