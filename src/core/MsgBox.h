// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

// Kinds of message box; the value selects the icon.
enum TMsgKind { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3 };

// Button sets of a message box.
enum TMsgButtons { mbOK = 0, mbYesNo = 1, mbYesNoCancel = 2, mbOKCancel = 3 };

// Results: the button that closed the box.
enum TMsgResult { mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// One request to show a message box, as a test sees it.
struct TMsgBoxRequest {
    QString caption;
    QString text;       // line breaks already turned into "\n"
    int kind = mtError; // TMsgKind, or -1 for a plain box without icon
    int buttons = mbOK;
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

    // Shows a modal box captioned "ORXTERM" and returns 1 OK, 2 Cancel,
    // 6 Yes or 7 No. "\r" and "\r\n" in Text start new lines. HelpContext
    // is accepted for compatibility and not used.
    static int ShowMsgBox(const QString& text, int kind, int buttons, int helpContext = 0);
    // The same with one more button that runs `action` (showing more about
    // the question) and then asks the question again.
    static int ShowMsgBoxWithAction(const QString& text, int kind, int buttons,
                                    const QString& actionText, std::function<void()> action);

    // A plain box: no icon, OK only.
    static void ShowMessage(const QString& text);

    using Responder = std::function<int(const TMsgBoxRequest&)>;
    // Installs a responder that answers every box without showing it
    // (nullptr restores the real boxes).
    static void SetResponder(Responder responder);

    // "\r\n" and lone "\r" become "\n"; a text longer than MaxText is cut
    // and ends in "...".
    static QString NormalizeLineBreaks(const QString& text);
    static constexpr int MaxText = 2000;

private:
    static int Show(const TMsgBoxRequest& request);
};
