#pragma once

// What the window's process tells the file dialog's process, in its environment: the dialog's title (its presence
// is what makes the process a dialog's), the window it belongs to, and the folder it opens in.
inline constexpr char kFileDialogTitleVariable[] = "KESWIN_HASH_FILE_DIALOG_TITLE";
inline constexpr char kFileDialogOwnerVariable[] = "KESWIN_HASH_FILE_DIALOG_OWNER";
inline constexpr char kFileDialogFolderVariable[] = "KESWIN_HASH_FILE_DIALOG_FOLDER";

// Written by the dialog's process to its standard output from its own thread's event loop, many times a second: the
// window's process ends a dialog that has gone quiet, stuck in a folder on a share that does not answer, say. A
// byte that no line of the answer holds.
inline constexpr char kFileDialogAlive = '\0';

// Whether this process was started to show the file dialog alone: the title is set and no file is given.
bool isFileDialogChild(int argc);

// Shows the dialog, then writes two lines to standard output, each a URL percent-encoded: the chosen file (empty
// when none was) and the folder for the next dialog. PROGRAM_NAME is the window's program's own, which desktops
// group windows by (this process runs as /proc/self/exe). Returns the process's exit status.
int runFileDialogChild(char* programName);
