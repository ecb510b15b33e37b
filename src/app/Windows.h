// SPDX-License-Identifier: MIT
#pragma once

#include <QList>

class QWidget;
class TMainForm;
class TAboutBox;
class TConfigFormDlg;
class TComSetupDlg;
class THistoryForm;
class TFormMsgBox;
class TFlashDlg;
class TParameterReadForm;
class TParameterStoreForm;
class TServiceRecordForm;
class TParameterForm;
class TGraphicSetupDlg;
class TGrafikDlg;
class TNumberDlg;

// The thirteen windows of the program. They are created at start in this
// order (the main window first), live for the whole run and are only shown
// and hidden. The main window owns the others.
struct TAppWindows {
    TMainForm* MainForm = nullptr;
    TAboutBox* AboutBox = nullptr;
    TConfigFormDlg* ConfigFormDlg = nullptr;
    TComSetupDlg* ComSetupDlg = nullptr;
    THistoryForm* HistoryForm = nullptr;
    TFormMsgBox* FormMsgBox = nullptr;
    TFlashDlg* FlashDlg = nullptr;
    TParameterReadForm* ParameterReadForm = nullptr;
    TParameterStoreForm* ParameterStoreForm = nullptr;
    TParameterForm* ParameterForm = nullptr;
    TGraphicSetupDlg* GraphicSetupDlg = nullptr;
    TGrafikDlg* GrafikDlg = nullptr;
    TNumberDlg* NumberDlg = nullptr;
    TServiceRecordForm* ServiceRecordForm = nullptr;

    // All windows in creation order. A change of language re-applies the
    // labels to every tagged component of these windows and then sends each
    // of them (and so all their children) a QEvent::LanguageChange: a window
    // that builds texts in code rebuilds them in changeEvent().
    QList<QWidget*> All() const;
    // The windows whose caption comes from their tag, in labelling order.
    QList<QWidget*> CaptionOrder() const;
};

// Creates all windows in order and hands them to the main window. The
// caller owns the returned main window (which owns the rest).
TAppWindows CreateWindows(const QStringList& arguments);
