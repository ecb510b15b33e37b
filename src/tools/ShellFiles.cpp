// SPDX-License-Identifier: MIT
#include "ShellFiles.h"

#include "FileKind.h"
#include "FixedFont.h"
#include "Labels.h"
#include "PrintDialogs.h"
#include "SafeFile.h"
#include "WaitCursor.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QUrl>

#include <algorithm>

namespace ShellFiles {

namespace {
constexpr qint64 kPrintPiece = 16 * 1024; // most characters read for one printed line

QString Reason(const QString& path, const QFile& file) {
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
}

bool SameFile(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// A piece of a line: UTF-8 where it is valid, else Latin-1 (the files'
// own 8-bit code page); tabs to the next multiple of eight, other control
// characters shown as spaces.
QString DecodePiece(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) text = QString::fromLatin1(bytes);
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == u'\t') {
            out.append(QString(8 - out.size() % 8, u' '));
        } else if (c == u'\r' || c == u'\n') {
            continue;
        } else {
            out.append(c.unicode() < 0x20 ? QChar(u' ') : c);
        }
    }
    return out;
}

// Draws the file onto pages already begun on `painter`; the window stays
// responsive to everything but input between pages.
void PrintPages(QFile& file, QPainter& painter, QPrinter& printer) {
    painter.setFont(FixedFont());
    const QFontMetrics metrics = painter.fontMetrics();
    const QRect area = painter.viewport();
    const int lineHeight = std::max(1, metrics.lineSpacing());
    const int perLine = std::max(1, area.width() / std::max(1, metrics.horizontalAdvance(u'M')));
    const int perPage = std::max(1, area.height() / lineHeight);
    int row = 0;
    auto drawRow = [&](const QString& text) {
        if (row == perPage) {
            printer.newPage();
            row = 0;
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        painter.drawText(0, row * lineHeight + metrics.ascent(), text);
        ++row;
    };
    while (!file.atEnd()) {
        const QString line = DecodePiece(file.readLine(kPrintPiece));
        if (line.isEmpty()) drawRow(QString());
        for (qsizetype at = 0; at < line.size(); at += perLine)
            drawRow(line.mid(at, perLine));
    }
}
} // namespace

QString CopyForPrint(const QString& source, const QString& folder, QString* error) {
    const QString target = QDir(folder).filePath(QLatin1String(PrintCopyName));
    // Only a regular file has an end: a device or a pipe would be copied
    // for ever.
    QFile in;
    if (!OpenRegularFile(in, source, error)) return {};
    if (SameFile(source, target)) return target;
    // An earlier copy is replaced only by a whole new one.
    const bool copied = WriteFileSafely(
        target,
        [&](TSafeFileSink& out) {
            char block[CopyBlockSize];
            for (;;) {
                const qint64 got = in.read(block, CopyBlockSize);
                if (got < 0) return out.Fail(Reason(source, in));
                if (got == 0 || !out.Write(QByteArrayView(block, got))) return;
            }
        },
        error);
    return copied ? target : QString();
}

bool PrintTextFile(const QString& path, QWidget* parent, QString* error) {
    QFile file;
    if (!OpenRegularFile(file, path, error)) return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QFileInfo(path).fileName());
    if (!TPrintDialogs::Exec(printer, parent)) return false;

    TWaitCursor wait;
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (error) *error = LabelText(214);
        return false;
    }
    PrintPages(file, painter, printer);
    painter.end();
    if (printer.printerState() == QPrinter::Error) {
        if (error) *error = LabelText(214);
        return false;
    }
    if (file.error() != QFile::NoError) {
        if (error) *error = Reason(path, file);
        return false;
    }
    return true;
}

QStringList EditorCommand(const QString& path,
                          const std::function<QString(const char*)>& environment,
                          const std::function<QString(const QString&)>& find, QString* error) {
    QString editor = environment("VISUAL").trimmed();
    if (editor.isEmpty()) editor = environment("EDITOR").trimmed();
    const QStringList editorCommand = QProcess::splitCommand(editor);
    if (editorCommand.isEmpty()) {
        if (error) *error = LabelText(212);
        return {};
    }
    QStringList terminals;
    if (const QString own = environment("TERMINAL").trimmed(); !own.isEmpty()) terminals << own;
    terminals << QStringLiteral("x-terminal-emulator") << QStringLiteral("xterm");
    for (const QString& name : terminals) {
        const QString program = find(name);
        if (program.isEmpty()) continue;
        return QStringList{program, QStringLiteral("-e")} + editorCommand + QStringList{path};
    }
    if (error) *error = LabelText(213).arg(editorCommand.constFirst());
    return {};
}

bool OpenInTextEditor(const QString& path, QString* error) {
    // An editor would hang on a pipe or open a device; a folder is no text.
    if (!CheckFileTarget(path, error)) return false;
    bool created = false;
    if (FileKindOf(path) == TFileKind::Missing) {
        QFile create(path);
        if (!create.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (error) *error = Reason(path, create);
            return false;
        }
        created = true;
    }
    // The empty file was only made for the editor: where none starts, it
    // goes again (unless something wrote to it meanwhile).
    const auto failed = [&] {
        if (created && QFileInfo(path).size() == 0) QFile::remove(path);
        return false;
    };
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return true;
    const QStringList command = EditorCommand(
        path, [](const char* name) { return qEnvironmentVariable(name); },
        [](const QString& name) { return QStandardPaths::findExecutable(name); }, error);
    if (command.isEmpty()) return failed();
    if (QProcess::startDetached(command.constFirst(), command.mid(1))) return true;
    if (error) *error = LabelText(215).arg(command.constFirst());
    return failed();
}

} // namespace ShellFiles
