// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

// What a file dialog is asked to do, as a test sees it.
struct TFileDialogRequest {
    enum Kind { Open, Save, Directory } kind = Open;
    QString caption;
    QString directory; // initial directory
    QString filter;    // "Description|*.ext|Description|*.*" pairs
    QString defaultSuffix;
    bool mustExist = false;       // open: only existing files
    bool confirmOverwrite = true; // save: ask before replacing
};

// Every open, save and folder dialog of the program goes through here, so
// that tests can answer them. A cancelled dialog yields an empty text.
class TFileDialogs {
public:
    static QString GetOpenFileName(QWidget* parent, const TFileDialogRequest& request);
    static QString GetSaveFileName(QWidget* parent, const TFileDialogRequest& request);
    static QString GetExistingDirectory(QWidget* parent, const TFileDialogRequest& request);

    using Responder = std::function<QString(const TFileDialogRequest&)>;
    static void SetResponder(Responder responder);

    // Where a dialog starts: `path` when it exists (or names a new file in
    // a folder that exists), else the documents folder, or the home folder
    // where there is none - a working folder that was removed after it was
    // chosen must not strand the dialog.
    static QString StartFolder(const QString& path);

    // Turns "Text files (*.txt)|*.txt|All files|*.*" into Qt's ";;" form.
    static QString ToQtFilter(const QString& pipeFilter);
};
