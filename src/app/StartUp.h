#pragma once

#include <functional>
#include <QStringList>

class AnalysisSession;

// The program's arguments as the system split them, from argv[1..argc-1]. Each arrives whole: quotes and spaces
// inside a file name are part of it, and bytes that are not UTF-8 survive to name the same file.
QStringList programArguments(int argc, const char* const* argv);

// The start-up sequence run before the main window is first shown: the first argument becomes the current path,
// the bulletin reminder runs, and then the path is analysed when there is one. A refusal message therefore comes
// before the window.
void Form_Load(AnalysisSession& session, const QStringList& arguments,
               const std::function<void()>& bulletinReminder = {});
