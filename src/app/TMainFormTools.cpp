// SPDX-License-Identifier: MIT
// The main window's tools: the firmware update, capture of what the
// terminal receives, sending a text file, the history window, and the
// receive path that feeds capture and history.
#include "TMainForm.h"

#include "FileDialogs.h"
#include "FileKind.h"
#include "Labels.h"
#include "MsgBox.h"
#include "TCustomComTerminal.h"
#include "TFirmwareUpdate.h"
#include "TFlashDlg.h"
#include "THistoryForm.h"
#include "VersionInfo.h"

#include <QAction>
#include <QFileInfo>
#include <QTimer>

namespace {
// A text file dialog titled with the menu entry it serves.
TFileDialogRequest TextFileRequest(TFileDialogRequest::Kind kind, const QString& folder,
                                   int captionLabel) {
    TFileDialogRequest request;
    request.kind = kind;
    request.caption = LabelText(captionLabel);
    request.directory = folder;
    request.filter = LabelText(101) + u'|' + LabelText(107);
    request.defaultSuffix = QStringLiteral("txt");
    request.confirmOverwrite = true;
    return request;
}
} // namespace

void TMainForm::ConnectTools() {
    if (m_windows.FlashDlg && !m_update) {
        m_update = new TFirmwareUpdate(*this, *m_windows.FlashDlg, this);
        connect(Datei_UpdateFirmware, &QAction::triggered, this,
                &TMainForm::Datei_UpdateFirmwareExecute);
        connect(Datei_senden, &QAction::triggered, this, &TMainForm::Datei_sendenExecute);
    }
    connect(Datei_Mitschnitt, &QAction::triggered, this, &TMainForm::Datei_MitschnittExecute);
    if (THistoryForm* history = m_windows.HistoryForm) {
        connect(Extras_Histogramm, &QAction::triggered, this, &TMainForm::Extras_HistogrammExecute);
        connect(history, &THistoryForm::Cleared, this, [this] { m_history.Clear(); });
        connect(history, &THistoryForm::Closed, this,
                [this] { Extras_Histogramm->setChecked(false); });
    }
}

void TMainForm::Datei_UpdateFirmwareExecute() {
    if (m_update && !SensorBusy()) m_update->Datei_UpdateFirmware();
}

// --- Capture ------------------------------------------------------------------

void TMainForm::Datei_MitschnittExecute() {
    if (!m_capture.Active()) {
        const QString file = TFileDialogs::GetSaveFileName(
            this, TextFileRequest(TFileDialogRequest::Save, TextDir(), 11));
        QString error;
        if (!file.isEmpty()) {
            if (m_capture.Start(file, &error))
                setWindowTitle(QStringLiteral("%1 - %2").arg(m_productTitle,
                                                             QFileInfo(file).fileName().toUpper()));
            else
                ShowMsgBox(error, mtError, mbOK);
        }
    } else {
        EndCapture();
    }
    UpdateCaptureControls();
}

void TMainForm::EndCapture() {
    setWindowTitle(m_productTitle);
    m_capture.Stop();
}

// The check mark and the pressed tool button follow the capture; reading
// and writing parameter files wait while it runs.
void TMainForm::UpdateCaptureControls() {
    Datei_Mitschnitt->setChecked(m_capture.Active());
    const bool allowed = !m_capture.Active() && Datei_Mitschnitt->isEnabled();
    for (QAction* a : {Datei_Parameter_lesen, Datei_Parameter_schreiben})
        a->setEnabled(allowed);
}

// Writes what the last received chunk brought; a file that cannot take it
// ends the capture. The status bar says so, and so does a message box with
// the file and the reason, once the receive that found it has ended.
void TMainForm::FlushCapture() {
    if (m_capture.Flush()) return;
    const QString told =
        LabelText(110) + u'\n' + FileErrorText(m_capture.FileName(), m_capture.ErrorText());
    ShowError(LabelText(110));
    EndCapture();
    UpdateCaptureControls();
    QTimer::singleShot(0, this, [this, told] { ShowMsgBox(told, mtError, mbOK); });
}

// --- Send file and history ------------------------------------------------------

void TMainForm::Datei_sendenExecute() {
    if (!m_windows.FlashDlg || SensorBusy()) return;
    const QString file = TFileDialogs::GetOpenFileName(
        this, TextFileRequest(TFileDialogRequest::Open, TextDir(), 19));
    if (file.isEmpty()) return;
    TFlashDlg& dialog = *m_windows.FlashDlg;
    dialog.Send(LabelText(19), LabelText(610), file);
    // A file that did not go out whole is not left to look sent: a lost
    // link or a line the sensor refused is told (the operator's own stop
    // and an unreadable file have been seen or told already).
    const int done = dialog.LinesSent();
    if (dialog.LastStop() == TFlashDlg::TStop::LinkLost)
        TFormMsgBox::ShowMsgBox(
            LabelText(144) + u'\r' + LabelText(148).arg(done).arg(dialog.Total()), mtError, mbOK);
    else if (dialog.LastStop() == TFlashDlg::TStop::Refused)
        TFormMsgBox::ShowMsgBox(
            LabelText(146) + u'\r' + LabelText(148).arg(done).arg(dialog.Total()), mtError, mbOK);
}

void TMainForm::Extras_HistogrammExecute() {
    Extras_Histogramm->setChecked(true);
    m_windows.HistoryForm->ShowHistory(m_history.Lines());
}

// --- Receive path --------------------------------------------------------------

// Every character the terminal shows or acts on reaches ReceiveChar.
void TMainForm::ConnectTerminal() {
    connect(ComTerminal, &TCustomComTerminal::Chars, this, [this](const QByteArray& text) {
        for (char ch : text)
            ReceiveChar(ch);
        FlushCapture(); // once per received chunk
    });
}

void TMainForm::ReceiveChar(char ch) {
    if (ch == '\a') m_bellReceived = true;
    m_capture.Add(ch);
    // The history stands still while its window shows it.
    if (!(m_windows.HistoryForm && m_windows.HistoryForm->isVisible())) m_history.Add(ch);
}
