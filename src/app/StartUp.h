#pragma once

#include <chrono>
#include <functional>
#include <QStringList>

class AnalysisSession;

// The program's arguments as the system split them, from argv[1..argc-1]. Each arrives whole: quotes and spaces
// inside a file name are part of it, and bytes that are not UTF-8 survive to name the same file.
QStringList programArguments(int argc, const char* const* argv);

// How long start-up waits at most for the facts of the command-line file before it shows the window anyway: on a
// mount that stopped answering they may never come.
inline constexpr std::chrono::milliseconds kStartUpFactsGrace{1000};

// The start-up sequence run before the main window is first shown: the first argument becomes the current path,
// the bulletin reminder runs, and then the path is analysed when there is one. Events are handled while the facts
// are read, for at most factsGrace; the window thus first shows with the facts in place, and a refusal message comes
// before it. Abandoning the analysis (session.stop()) ends the wait at once.
void Form_Load(AnalysisSession& session, const QStringList& arguments,
               const std::function<void()>& bulletinReminder = {},
               std::chrono::milliseconds factsGrace = kStartUpFactsGrace);
