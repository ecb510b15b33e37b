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

QMessageBox::Icon IconOf(int kind) {
    switch (kind) {
    case -1:
        return QMessageBox::NoIcon;
    case mtWarning:
        return QMessageBox::Warning;
    case mtInformation:
        return QMessageBox::Information;
    case mtConfirmation:
        return QMessageBox::Question;
    default:
        return QMessageBox::Critical;
    }
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

int TFormMsgBox::ShowMsgBox(const QString& text, int kind, int buttons, int helpContext) {
    Q_UNUSED(helpContext);
    TMsgBoxRequest request;
    request.caption = QString::fromLatin1(OrxVersion::ProductName);
    request.text = NormalizeLineBreaks(text);
    request.kind = kind;
    request.buttons = buttons;
    return Show(request);
}

int TFormMsgBox::ShowMsgBoxWithAction(const QString& text, int kind, int buttons,
                                      const QString& actionText, std::function<void()> action) {
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
    request.kind = -1;
    request.buttons = mbOK;
    Show(request);
}

void TFormMsgBox::SetResponder(Responder responder) {
    CurrentResponder() = std::move(responder);
}

int TFormMsgBox::Show(const TMsgBoxRequest& request) {
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
    default:
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
