// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QFile;

// What stands at a path that the user named as a file. Only a regular file
// (or a symbolic link that leads to one) has an end and no side effects
// when it is opened: a named pipe blocks the opening window until a writer
// comes, a device may never end (/dev/zero) or react to being opened (a
// serial line), a folder or a socket cannot be read as text at all.
enum class TFileKind {
    Missing,      // nothing there (the writers create it)
    Regular,      // a regular file, directly or through symbolic links
    Folder,       // a directory
    Fifo,         // a named pipe
    Device,       // a character or block device
    Socket,       // a local socket
    DanglingLink, // a symbolic link whose target does not exist
    LinkLoop,     // symbolic links that lead round in a circle
    Other,        // anything else that is no regular file
    Unreachable,  // the system refuses to say (a folder on the way is no folder, no access, ...)
};

// The kind of `path`, following symbolic links; for Unreachable the
// system's error number in `systemError`.
TFileKind FileKindOf(const QString& path, int* systemError = nullptr);

// What the path is, as the reason after "path: " ("is a folder", "is a
// named pipe (FIFO), not a regular file", ...); for Missing and
// Unreachable the system's own text. In the current language once the
// application exists; before it (the command line is checked first) the
// texts are English, as the system's are.
QString FileKindText(TFileKind kind, int systemError = 0);

// "path: reason", the form of every file error that the user sees.
QString FileErrorText(const QString& path, const QString& reason);

// Readers: true when `path` is a regular file; else false and
// "path: what it is" in `error` (a missing file: the system's "No such
// file or directory").
bool CheckRegularFile(const QString& path, QString* error);
// Writers: as CheckRegularFile, but a path where nothing exists yet is
// fine: the file is created there.
bool CheckFileTarget(const QString& path, QString* error);

// Opens the regular file `path` read-only into `file`. The file is opened
// without waiting and looked at again once it is open, so a pipe put in
// its place after the check is refused too rather than blocking. False
// with "path: reason" in `error` (when given).
bool OpenRegularFile(QFile& file, const QString& path, QString* error);

// Opens `path` write-only into `file`, created when missing, emptied when
// it exists, for a file that grows while it is open (capture). Refuses
// what is no regular file as OpenRegularFile does.
bool OpenFileTarget(QFile& file, const QString& path, QString* error);
