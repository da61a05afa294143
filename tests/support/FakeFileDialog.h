#pragma once

#include "FileDialog.h"

#include <QStringList>

// Answers with the names the test lines up, in turn (the empty text for a cancel), instead of blocking on a
// modal dialog; records what it was asked.
class FakeFileDialog final : public FileDialog
{
public:
    QString chooseFile(QWidget* owner, const QString& title) override
    {
        owners.append(owner);
        titles.append(title);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }

    QStringList answers;
    QList<QWidget*> owners;
    QStringList titles;
};
