#pragma once

#include "CheckSession.h"

#include <QString>

// The words the check window shows for the session's state.

// "12.5 MiB of 100 MiB, 40.2 MiB/s, 3 s left"; the parts not yet known are left out.
QString progressText(const CheckProgress& progress);
// Progress in thousandths of all the bytes, for a bar; -1 while the total is unknown.
int progressPermille(const CheckProgress& progress);
// The answer shown beside the paste field to what was pasted: the file it is checked against, or would be.
QString pasteAnswerText(CheckSession::PasteResult result, const CheckSession& session, const QString& pasted);
// What the window takes, for a drop it cannot use.
QString whatCanBeDropped();
// "Published digests found in: a.sha256, SHA256SUMS", or for a comparison whether the files are identical.
QString foundText(const CheckSession& session);
