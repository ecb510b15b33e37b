// SPDX-License-Identifier: MIT
#include "FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

namespace {
TFileDialogs::Responder& CurrentResponder() {
    static TFileDialogs::Responder responder;
    return responder;
}

QString Run(QWidget* parent, TFileDialogRequest request) {
    request.directory = TFileDialogs::StartFolder(request.directory);
    if (CurrentResponder()) return CurrentResponder()(request);
    QFileDialog dialog(parent, request.caption, request.directory);
    switch (request.kind) {
    case TFileDialogRequest::Directory:
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        break;
    case TFileDialogRequest::Save:
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
        break;
    case TFileDialogRequest::Open:
        dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        break;
    }
    if (!request.filter.isEmpty()) {
        const QStringList filters =
            TFileDialogs::ToQtFilter(request.filter).split(QStringLiteral(";;"));
        dialog.setNameFilters(filters);
        // Preselect the entry of the default extension, wherever it stands.
        const QString pattern = QStringLiteral("*.") + request.defaultSuffix;
        for (const QString& f : filters)
            if (!request.defaultSuffix.isEmpty() && f.contains(pattern, Qt::CaseInsensitive)) {
                dialog.selectNameFilter(f);
                break;
            }
    }
    if (!request.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}
} // namespace

QString TFileDialogs::GetOpenFileName(QWidget* parent, const TFileDialogRequest& request) {
    TFileDialogRequest r = request;
    r.kind = TFileDialogRequest::Open;
    return Run(parent, r);
}

QString TFileDialogs::GetSaveFileName(QWidget* parent, const TFileDialogRequest& request) {
    TFileDialogRequest r = request;
    r.kind = TFileDialogRequest::Save;
    return Run(parent, r);
}

QString TFileDialogs::GetExistingDirectory(QWidget* parent, const TFileDialogRequest& request) {
    TFileDialogRequest r = request;
    r.kind = TFileDialogRequest::Directory;
    return Run(parent, r);
}

void TFileDialogs::SetResponder(Responder responder) {
    CurrentResponder() = std::move(responder);
}

QString TFileDialogs::ToQtFilter(const QString& pipeFilter) {
    const QStringList parts = pipeFilter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        const QString description = parts[i];
        entries << (description.contains(u'(')
                        ? description
                        : QStringLiteral("%1 (%2)").arg(description, patterns));
    }
    if (entries.isEmpty() && !pipeFilter.isEmpty()) entries << pipeFilter;
    return entries.join(QStringLiteral(";;"));
}

QString TFileDialogs::StartFolder(const QString& path) {
    if (path.isEmpty()) return path;
    const QFileInfo info(path);
    if (info.isDir() || info.isFile()) return path;
    // A file name to propose, in a folder that exists.
    if (!info.suffix().isEmpty() && info.dir().exists()) return path;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}
