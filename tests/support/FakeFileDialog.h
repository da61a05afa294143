#pragma once

#include "FileDialog.h"

#include <QList>
#include <QStringList>

// Answers at once with the files the test lines up, in turn (the empty URL for a cancel), instead of showing a
// dialog; records what it was asked.
class FakeFileDialog final : public FileDialog
{
public:
    void chooseFile(QWidget* owner, const QString& title, Answer answer) override
    {
        owners.append(owner);
        titles.append(title);
        answer(answers.isEmpty() ? FileChoice{} : FileChoice{answers.takeFirst(), QString()});
    }

    QList<QUrl> answers;
    QList<QWidget*> owners;
    QStringList titles;
};
