#pragma once

#include "FileDialog.h"

#include <QList>
#include <QStringList>

// Answers with the files the test lines up, in turn (the empty URL for a cancel), instead of blocking on a modal
// dialog; records what it was asked.
class FakeFileDialog final : public FileDialog
{
public:
    QUrl chooseFile(QWidget* owner, const QString& title) override
    {
        owners.append(owner);
        titles.append(title);
        return answers.isEmpty() ? QUrl() : answers.takeFirst();
    }

    QList<QUrl> answers;
    QList<QWidget*> owners;
    QStringList titles;
};
