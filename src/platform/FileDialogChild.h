#pragma once

// The environment variable that makes this program the file dialog's process: it holds the dialog's title.
inline constexpr char kFileDialogTitleVariable[] = "KESWIN_HASH_FILE_DIALOG_TITLE";

// Whether this process was started to show the file dialog alone.
bool isFileDialogChild();

// Shows the dialog, then writes the chosen file's URL, percent-encoded, and a line feed to standard output (an empty
// line when none was chosen). Returns the process's exit status.
int runFileDialogChild(char* programName);
