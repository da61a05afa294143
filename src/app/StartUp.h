#pragma once

#include <QStringList>

class AnalysisSession;

// The start-up sequence run before the main window is first shown: the command line becomes the current path,
// which is analysed when there is one. A refusal message therefore comes before the window.
void Form_Load(AnalysisSession& session, const QStringList& arguments);
