// SPDX-License-Identifier: MIT
#include "Windows.h"

#include "MsgBox.h"
#include "TAboutBox.h"
#include "TComSetupDlg.h"
#include "TConfigFormDlg.h"
#include "TFlashDlg.h"
#include "TGrafikDlg.h"
#include "TGraphicSetupDlg.h"
#include "THistoryForm.h"
#include "TMainForm.h"
#include "TNumberDlg.h"
#include "TParameterForm.h"
#include "TParameterReadForm.h"
#include "TParameterStoreForm.h"
#include "TServiceRecordForm.h"

#include <QApplication>
#include <QIcon>

QList<QWidget*> TAppWindows::All() const {
    return {MainForm,        AboutBox,  ConfigFormDlg,     ComSetupDlg,        HistoryForm,
            FormMsgBox,      FlashDlg,  ParameterReadForm, ParameterStoreForm, ParameterForm,
            GraphicSetupDlg, GrafikDlg, NumberDlg,         ServiceRecordForm};
}

QList<QWidget*> TAppWindows::CaptionOrder() const {
    return {HistoryForm,       AboutBox,           ConfigFormDlg, ComSetupDlg,     ParameterForm,
            ParameterReadForm, ParameterStoreForm, GrafikDlg,     GraphicSetupDlg, NumberDlg};
}

// The icons live in the app library's resources; the program's own icon
// marks every window and the about box.
static void InitResources() {
    Q_INIT_RESOURCE(app);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/orxterm.svg")));
}

TAppWindows CreateWindows(const QStringList& arguments) {
    InitResources();
    TAppWindows w;
    w.MainForm = new TMainForm(arguments);
    QWidget* owner = w.MainForm;
    THost& host = *w.MainForm;
    w.AboutBox = new TAboutBox(host, owner);
    w.ConfigFormDlg = new TConfigFormDlg(host, owner);
    w.ComSetupDlg = new TComSetupDlg(owner);
    w.HistoryForm = new THistoryForm(host, owner);
    w.FormMsgBox = new TFormMsgBox(owner);
    w.FlashDlg = new TFlashDlg(host, owner);
    w.ParameterReadForm = new TParameterReadForm(host, owner);
    w.ParameterStoreForm = new TParameterStoreForm(host, owner);
    w.ParameterForm = new TParameterForm(host, owner);
    w.GraphicSetupDlg = new TGraphicSetupDlg(host, owner);
    w.GrafikDlg = new TGrafikDlg(host, *w.GraphicSetupDlg, owner);
    w.NumberDlg = new TNumberDlg(host, owner);
    w.ServiceRecordForm = new TServiceRecordForm(host, owner);
    // Windows that are not dialogs still open as windows of their own.
    w.HistoryForm->setWindowFlag(Qt::Window);
    w.ParameterForm->setWindowFlag(Qt::Window);
    w.FormMsgBox->setWindowFlag(Qt::Window);
    w.MainForm->SetWindows(w);
    return w;
}
