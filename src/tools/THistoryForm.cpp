// SPDX-License-Identifier: MIT
#include "THistoryForm.h"

#include "FileDialogs.h"
#include "FixedFont.h"
#include "Labels.h"
#include "MsgBox.h"
#include "SafeFile.h"
#include "Tag.h"
#include "VersionInfo.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

THistoryForm::THistoryForm(THost& host, QWidget* parent) : QWidget(parent), m_host(host) {
    setObjectName(QStringLiteral("HistoryForm"));
    SetTag(this, 400);
    setWindowTitle(QStringLiteral("History"));

    MainMenu = new QMenuBar(this);
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    Datei = MainMenu->addMenu(QStringLiteral("&Datei"));
    Datei->setObjectName(QStringLiteral("Datei"));
    SetTag(Datei, 410);
    auto action = [this](QAction*& member, const char* name, int label, const char* caption) {
        member = new QAction(QString::fromUtf8(caption), this);
        member->setObjectName(QLatin1String(name));
        SetTag(member, label);
    };
    action(acClear, "acClear", 413, "&Löschen");
    action(acSave, "acSave", 411, "&Speichern unter...");
    action(acClose, "acClose", 412, "S&chließen");
    Datei->addAction(acClear);
    Datei->addAction(acSave);
    Datei->addSeparator();
    Datei->addAction(acClose);
    connect(acClear, &QAction::triggered, this, &THistoryForm::acClearExecute);
    connect(acSave, &QAction::triggered, this, &THistoryForm::acSaveExecute);
    connect(acClose, &QAction::triggered, this, &QWidget::close);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setFont(FixedFont());
    // Read-only, but the caret shows where the reader is.
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setMenuBar(MainMenu);
    layout->addWidget(Memo1);
    resize(600, 400);
}

void THistoryForm::ShowHistory(const QStringList& lines) {
    m_lines = lines;
    QString text;
    for (const QString& line : lines)
        text += line + u'\n';
    Memo1->setPlainText(text);
    show();
    raise();
    activateWindow();
}

void THistoryForm::acClearExecute() {
    m_lines.clear();
    Memo1->clear();
    emit Cleared();
}

void THistoryForm::acSaveExecute() {
    TFileDialogRequest request;
    request.kind = TFileDialogRequest::Save;
    request.directory = m_host.TextDir();
    request.filter = LabelText(101) + u'|' + LabelText(107);
    request.defaultSuffix = QStringLiteral("txt");
    request.confirmOverwrite = true;
    const QString file = TFileDialogs::GetSaveFileName(this, request);
    if (file.isEmpty()) return;
    QByteArray bytes;
    for (const QString& line : m_lines)
        bytes += line.toLatin1() + "\r\n";
    // A file that exists is replaced only by the whole history.
    QString error;
    if (!WriteFileSafely(file, bytes, &error)) {
        m_host.ShowMsgBox(error, mtError, mbOK);
        return;
    }
    setWindowTitle(QStringLiteral("%1 - %2").arg(ProductTitle(), QFileInfo(file).fileName()));
}

bool THistoryForm::event(QEvent* event) {
    const bool result = QWidget::event(event);
    if (event->type() == QEvent::WindowActivate) {
        // The newest lines in view, nothing selected.
        Memo1->moveCursor(QTextCursor::End);
        Memo1->ensureCursorVisible();
    }
    return result;
}

void THistoryForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    emit Closed();
}
