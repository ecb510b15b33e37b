// SPDX-License-Identifier: MIT
#include "MsgBox.h"

#include "OrxVersion.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {
TFormMsgBox::Responder& CurrentResponder() {
    static TFormMsgBox::Responder responder;
    return responder;
}

QMessageBox::Icon IconOf(TMsgKind kind) {
    switch (kind) {
    case mtPlain:
        return QMessageBox::NoIcon;
    case mtWarning:
        return QMessageBox::Warning;
    case mtInformation:
        return QMessageBox::Information;
    case mtConfirmation:
        return QMessageBox::Question;
    case mtError:
        break;
    }
    return QMessageBox::Critical;
}
} // namespace

TFormMsgBox::TFormMsgBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FormMsgBox"));
}

QString TFormMsgBox::NormalizeLineBreaks(const QString& text) {
    // A box is read, not scrolled: a text from outside (a settings value, a
    // system message) longer than this is cut.
    QString result = text.size() > MaxText ? text.left(MaxText - 1) + QChar(0x2026) : text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(u'\r', u'\n');
    return result;
}

TMsgResult TFormMsgBox::ShowMsgBox(const QString& text, TMsgKind kind, TMsgButtons buttons,
                                   int helpContext) {
    Q_UNUSED(helpContext);
    TMsgBoxRequest request;
    request.caption = QString::fromLatin1(OrxVersion::ProductName);
    request.text = NormalizeLineBreaks(text);
    request.kind = kind;
    request.buttons = buttons;
    return Show(request);
}

TMsgResult TFormMsgBox::ShowMsgBoxWithAction(const QString& text, TMsgKind kind,
                                             TMsgButtons buttons, const QString& actionText,
                                             std::function<void()> action) {
    TMsgBoxRequest request;
    request.caption = QString::fromLatin1(OrxVersion::ProductName);
    request.text = NormalizeLineBreaks(text);
    request.kind = kind;
    request.buttons = buttons;
    request.actionText = actionText;
    request.action = std::move(action);
    return Show(request);
}

void TFormMsgBox::ShowMessage(const QString& text) {
    TMsgBoxRequest request;
    request.caption = QString::fromLatin1(OrxVersion::ProductName);
    request.text = NormalizeLineBreaks(text);
    request.kind = mtPlain;
    request.buttons = mbOK;
    Show(request);
}

void TFormMsgBox::SetResponder(Responder responder) {
    CurrentResponder() = std::move(responder);
}

TMsgResult TFormMsgBox::Show(const TMsgBoxRequest& request) {
    if (CurrentResponder()) return CurrentResponder()(request);

    QMessageBox box(IconOf(request.kind), request.caption, request.text, QMessageBox::NoButton,
                    QApplication::activeWindow());
    QMessageBox::StandardButtons set;
    switch (request.buttons) {
    case mbYesNo:
        set = QMessageBox::Yes | QMessageBox::No;
        break;
    case mbYesNoCancel:
        set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    case mbOKCancel:
        set = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case mbOK:
        set = QMessageBox::Ok;
        break;
    }
    box.setStandardButtons(set);
    if (request.buttons == mbYesNo) box.setEscapeButton(QMessageBox::No);
    QPushButton* more =
        request.action ? box.addButton(request.actionText, QMessageBox::ActionRole) : nullptr;
    box.exec();
    while (more && box.clickedButton() == more) {
        request.action();
        box.exec();
    }
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
        return mrOk;
    case QMessageBox::Yes:
        return mrYes;
    case QMessageBox::No:
        return mrNo;
    default:
        return mrCancel;
    }
}
