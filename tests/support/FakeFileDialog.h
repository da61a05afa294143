#pragma once

#include "FileDialog.h"

#include <QList>
#include <QStringList>

// Answers at once with the files the test lines up, in turn (the empty URL for a cancel), instead of showing a
// dialog; records what it was asked.
class FakeFileDialog final : public FileDialog
{
public:
    void chooseFile(QObject* context, const QString& title, Answer answer) override
    {
        contexts.append(context);
        titles.append(title);
        answer(answers.isEmpty() ? QUrl() : answers.takeFirst());
    }

    QList<QUrl> answers;
    QList<QObject*> contexts;
    QStringList titles;
};
