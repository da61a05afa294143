#pragma once

#include "MessageBox.h"

#include <QList>
#include <QStringList>

// Records messages instead of blocking on a modal box.
class FakeMessageBox final : public MessageBox
{
public:
    void show(QWidget* owner, const QString& caption, const QString& text) override
    {
        owners.append(owner);
        captions.append(caption);
        texts.append(text);
    }

    QList<QWidget*> owners;
    QStringList captions;
    QStringList texts;
};
