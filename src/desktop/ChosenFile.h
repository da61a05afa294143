#pragma once

#include "FileDialog.h"

#include <QString>
#include <QUrl>

// What "Browse..." takes in from the file dialog's answer: the path to hand to the intake (the empty text for a
// cancel), or, when the answer names no file exactly, a message that says why, and nothing is taken in.
struct ChosenFile
{
    QString path;
    QString refusal;
};

ChosenFile chosenFile(const QUrl& answer);

// The same for the dialog's whole answer: a dialog that failed is a refusal with its own words.
ChosenFile chosenFile(const FileChoice& answer);
