// SPDX-License-Identifier: MIT
#pragma once

#include "MsgTypes.h"

#include <QString>
#include <QWidget>

#include <functional>

// One request to show a message box, as a test sees it.
struct TMsgBoxRequest {
    QString caption;
    QString text; // line breaks already turned into "\n"
    TMsgKind kind = mtError;
    TMsgButtons buttons = mbOK;
    // An extra button that runs `action` and then asks again (empty: none).
    QString actionText;
    std::function<void()> action;
};

// The message box through which every question and error of the program
// is shown. The object is created at start with the other windows; its own
// window is never shown. Tests install a responder that answers instead of
// a person.
class TFormMsgBox : public QWidget {
    Q_OBJECT
public:
    explicit TFormMsgBox(QWidget* parent = nullptr);

    // Shows a modal box captioned "ORXTERM" and returns the button that
    // closed it. "\r" and "\r\n" in Text start new lines. HelpContext is
    // accepted for compatibility and not used.
    static TMsgResult ShowMsgBox(const QString& text, TMsgKind kind, TMsgButtons buttons,
                                 int helpContext = 0);
    // The same with one more button that runs `action` (showing more about
    // the question) and then asks the question again.
    static TMsgResult ShowMsgBoxWithAction(const QString& text, TMsgKind kind, TMsgButtons buttons,
                                           const QString& actionText, std::function<void()> action);

    // A plain box: no icon, OK only.
    static void ShowMessage(const QString& text);

    using Responder = std::function<TMsgResult(const TMsgBoxRequest&)>;
    // Installs a responder that answers every box without showing it
    // (nullptr restores the real boxes).
    static void SetResponder(Responder responder);

    // "\r\n" and lone "\r" become "\n"; a text longer than MaxText is cut
    // and ends in "...".
    static QString NormalizeLineBreaks(const QString& text);
    static constexpr int MaxText = 2000;

private:
    static TMsgResult Show(const TMsgBoxRequest& request);
};
