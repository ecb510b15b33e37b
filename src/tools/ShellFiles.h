// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QPrinter;
class QWidget;

// Printing and editing files for the file menu: a file is printed through a
// copy named "print.txt" in the parameter folder, as plain text through the
// print dialog (printing to PDF needs no printer); a file is edited in the
// desktop's text editor.
namespace ShellFiles {

inline constexpr int CopyBlockSize = 2048;
inline constexpr const char* PrintCopyName = "print.txt";

// Copies `source` byte for byte, in blocks of CopyBlockSize, to "print.txt"
// in `folder` (with or without a trailing "/"), replacing an earlier copy.
// Returns the copy's path; when the source cannot be read (or is no
// regular file, such as a device without end) or the copy is not written
// whole, an empty text and the reason in `error`, and an earlier copy
// stays as it was.
// Choosing "print.txt" itself prints it as it is: it is never emptied by
// being copied onto itself.
QString CopyForPrint(const QString& source, const QString& folder, QString* error);

// Asks the print dialog where to print and prints the text file `path` as
// plain text in a fixed-pitch font, long lines wrapped, page by page,
// reading a line (at most 16 K characters) at a time; between pages the
// window's events go on (input aside). False when the dialog is cancelled
// (`error` left empty) or the printer fails (`error` says why).
bool PrintTextFile(const QString& path, QWidget* parent, QString* error);

// Opens `path` in the desktop's text editor; where the desktop opens
// nothing, in $VISUAL or $EDITOR inside a terminal emulator ($TERMINAL,
// x-terminal-emulator or xterm). A file that does not exist yet is created
// empty first, so that the editor has something to open, and removed
// again when no editor starts; what is no regular file (a folder, a pipe,
// a device) is refused. False with the reason in `error` when none of
// this works.
bool OpenInTextEditor(const QString& path, QString* error);

// The command of the fallback: the terminal emulator running the editor
// on `path`; empty when no editor is named (`error` says so) or no
// terminal emulator is found. `environment` supplies VISUAL, EDITOR and
// TERMINAL; `find` looks a program up on the PATH.
QStringList EditorCommand(const QString& path,
                          const std::function<QString(const char*)>& environment,
                          const std::function<QString(const QString&)>& find, QString* error);

} // namespace ShellFiles
