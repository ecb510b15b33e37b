// SPDX-License-Identifier: MIT
// The options dialog and what its OK stores, the language switch across
// every window, the about box, and printing and editing a file from the
// file menu.
#include "CommandLine.h"
#include "FileDialogs.h"
#include "FullFileSystem.h"
#include "Labels.h"
#include "MsgBox.h"
#include "OrxVersion.h"
#include "PrintDialogs.h"
#include "ShellFiles.h"
#include "SimulatedMainForm.h"
#include "StatusPanelLabel.h"
#include "TAboutBox.h"
#include "TConfigFormDlg.h"
#include "TCustomComTerminal.h"
#include "TGrafikDlg.h"
#include "TMainForm.h"
#include "TParameterForm.h"
#include "TParameterReadForm.h"
#include "VersionInfo.h"
#include "Windows.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <memory>

#include <sys/stat.h>

namespace {
void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Some bytes of every value, so that a block boundary that shifts or
// repeats a byte shows.
QByteArray Pattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + i / 2048) & 0xff);
    return bytes;
}

// A widget that counts the language changes it hears: a stand-in for a
// window part that builds its texts in code.
class TLanguageListener : public QWidget {
public:
    using QWidget::QWidget;
    int Changes = 0;

protected:
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::LanguageChange) ++Changes;
        QWidget::changeEvent(event);
    }
};
} // namespace

// Receives the URLs that the desktop is asked to open.
class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Urls;
public slots:
    void Open(const QUrl& url) { Urls << url; }
};

class TestExtras : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    TAppWindows m_w;
    std::unique_ptr<TMainForm> m_main;
    QList<TMsgBoxRequest> m_boxes;

    QString SettingsFile() const { return m_main->Settings().fileName(); }
    QVariant Stored(const QString& key) const {
        QSettings s(SettingsFile(), QSettings::IniFormat);
        return s.value(key);
    }
    QString Folder(const QString& name) const {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(path);
        return path;
    }
    // Where a dialog for a missing folder starts.
    static QString Fallback() {
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        return QFileInfo(documents).isDir() ? documents : QDir::homePath();
    }
    // Answers the next modal dialog with `act` once it is shown.
    void WhenModal(const std::function<void(QWidget*)>& act) {
        QTimer::singleShot(0, this, [this, act] {
            if (QWidget* w = QApplication::activeModalWidget())
                act(w);
            else
                WhenModal(act);
        });
    }

private slots:
    void init() {
        SetLabelFilePath(QStringLiteral(ORX_SOURCE_DIR "/labels/orxterm.lab"));
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("OrxTerm"),
                           QStringLiteral("OrxTerm"));
        settings.clear();
        settings.setValue(QStringLiteral("ComPort/Port"), QStringLiteral("/nonexistent/orx-port"));
        settings.sync();
        m_w = CreateWindows({});
        m_main.reset(m_w.MainForm);
        m_main->FormShow();
        m_boxes.clear();
        TFormMsgBox::SetResponder([this](const TMsgBoxRequest& r) {
            m_boxes << r;
            return mrOk;
        });
    }
    void cleanup() {
        TFormMsgBox::SetResponder(nullptr);
        TFileDialogs::SetResponder(nullptr);
        TPrintDialogs::SetResponder(nullptr);
        if (m_main) m_main->StartUpTimer().stop();
        m_main.reset();
    }

    // --- Options -------------------------------------------------------------

    // OK without changes stores no "Option" value, but the terminal's
    // values always, and scans the parameter folder afresh.
    void optionsUnchanged() {
        const QString par = Folder(QStringLiteral("unchanged"));
        m_main->SaveParaDir(par);
        QSettings(SettingsFile(), QSettings::IniFormat).remove(QStringLiteral("Option"));
        Write(par + QStringLiteral("/one.par"), "; one\r\n");
        QVERIFY(m_w.ParameterReadForm->Records().isEmpty());

        m_main->ApplyConfigValues(m_main->ConfigValues());
        QSettings s(SettingsFile(), QSettings::IniFormat);
        QVERIFY(!s.childGroups().contains(QStringLiteral("Option")));
        QCOMPARE(s.value(QStringLiteral("ComTerminal/Columns")).toInt(), 65);
        QCOMPARE(s.value(QStringLiteral("ComTerminal/Rows")).toInt(), 32);
        QCOMPARE(s.value(QStringLiteral("ComTerminal/Caret")).toInt(), int(tcUnderline));
        QCOMPARE(m_w.ParameterReadForm->Records().size(), 1);
        QVERIFY(m_boxes.isEmpty());
    }

    // Only what changed is written; the language re-labels the program.
    void optionsChanged() {
        TConfigValues v = m_main->ConfigValues();
        const QString oldFirm = v.FirmDir;
        v.Language = 1;
        v.ParaDir = Folder(QStringLiteral("par")) + u'/';
        v.TextDir = Folder(QStringLiteral("text"));
        v.Caret = int(tcBlock);
        m_main->ApplyConfigValues(v);
        QCOMPARE(Stored(QStringLiteral("Option/Language")).toString(), QStringLiteral("1"));
        QCOMPARE(Stored(QStringLiteral("Option/ParaDir")).toString(), v.ParaDir);
        QCOMPARE(Stored(QStringLiteral("Option/TextDir")).toString(), v.TextDir);
        QVERIFY(!Stored(QStringLiteral("Option/FirmDir")).isValid());
        QCOMPARE(m_main->FirmDir(), oldFirm);
        QCOMPARE(m_main->ParaDir(), v.ParaDir);
        QCOMPARE(m_main->Ui().ComTerminal->Caret(), tcBlock);
        QCOMPARE(m_main->Ui().Menu_Datei->title(), LookupLabel(1, 10, false));
    }

    // The pane's limits, and texts that are no integer.
    void terminalValues_data() {
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<int>("wantColumns");
        QTest::addColumn<int>("wantRows");
        QTest::newRow("not a number") << "abc"
                                      << "" << 65 << 32;
        QTest::newRow("below") << "1"
                               << "-7" << 2 << 2;
        QTest::newRow("above") << "300"
                               << "500" << 256 << 100;
        QTest::newRow("inside, spaced") << " 80"
                                        << "24 " << 80 << 24;
    }
    void terminalValues() {
        QFETCH(QString, columns);
        QFETCH(QString, rows);
        QFETCH(int, wantColumns);
        QFETCH(int, wantRows);
        TConfigFormDlg* dialog = m_w.ConfigFormDlg;
        dialog->Fill(m_main->ConfigValues());
        dialog->ed_Columns->setText(columns);
        dialog->ed_Rows->setText(rows);
        m_main->ApplyConfigValues(dialog->Values());
        QCOMPARE(m_main->Ui().ComTerminal->Columns(), wantColumns);
        QCOMPARE(m_main->Ui().ComTerminal->Rows(), wantRows);
        QCOMPARE(Stored(QStringLiteral("ComTerminal/Columns")).toInt(), wantColumns);
        QCOMPARE(Stored(QStringLiteral("ComTerminal/Rows")).toInt(), wantRows);
    }

    // The scrollback length: stored only when it changes, brought into the
    // pane's limit, the default for a text that is not a number.
    void scrollbackOption() {
        TConfigFormDlg* dialog = m_w.ConfigFormDlg;
        TCustomComTerminal* terminal = m_main->Ui().ComTerminal;
        QCOMPARE(terminal->ScrollbackLines(), 10000);
        dialog->Fill(m_main->ConfigValues());
        QCOMPARE(dialog->ed_Scrollback->text(), QStringLiteral("10000"));
        m_main->ApplyConfigValues(dialog->Values());
        QVERIFY(!Stored(QStringLiteral("Option/ScrollbackLines")).isValid());
        dialog->ed_Scrollback->setText(QStringLiteral("500"));
        m_main->ApplyConfigValues(dialog->Values());
        QCOMPARE(terminal->ScrollbackLines(), 500);
        QCOMPARE(Stored(QStringLiteral("Option/ScrollbackLines")).toString(),
                 QStringLiteral("500"));
        dialog->ed_Scrollback->setText(QStringLiteral("99999"));
        m_main->ApplyConfigValues(dialog->Values());
        QCOMPARE(terminal->ScrollbackLines(), 50000);
        QCOMPARE(Stored(QStringLiteral("Option/ScrollbackLines")).toString(),
                 QStringLiteral("50000"));
        dialog->ed_Scrollback->setText(QStringLiteral("lots"));
        m_main->ApplyConfigValues(dialog->Values());
        QCOMPARE(terminal->ScrollbackLines(), 10000);
    }

    // The action: Cancel changes nothing; OK applies what the controls hold.
    void optionsAction() {
        QVERIFY(m_main->Ui().Extras_Optionen->isEnabled());
        m_main->Ui().ComTerminal->ReceiveData("kept on screen");
        WhenModal([](QWidget* w) {
            auto* d = qobject_cast<TConfigFormDlg*>(w);
            QVERIFY(d);
            d->rb_German->setChecked(true);
            d->ed_Columns->setText(QStringLiteral("70"));
            d->BitBtn2->click();
        });
        m_main->Ui().Extras_Optionen->trigger();
        QCOMPARE(CurrentLanguage(), 0);
        QCOMPARE(m_main->Ui().ComTerminal->Columns(), 65);
        QVERIFY(!Stored(QStringLiteral("ComTerminal/Columns")).isValid());

        WhenModal([](QWidget* w) {
            auto* d = qobject_cast<TConfigFormDlg*>(w);
            QVERIFY(d);
            QVERIFY(d->rb_English->isChecked()); // filled anew from the current values
            QCOMPARE(d->ed_Columns->text(), QStringLiteral("65"));
            d->rb_German->setChecked(true);
            d->BitBtn_ok->click();
        });
        m_main->Ui().Extras_Optionen->trigger();
        QCOMPARE(CurrentLanguage(), 1);
        QCOMPARE(Stored(QStringLiteral("Option/Language")).toString(), QStringLiteral("1"));
        // The size did not change, so the screen keeps its text.
        QCOMPARE(m_main->Ui().ComTerminal->Buffer().Cell(1, 1).Ch, quint8('k'));
    }

    // A folder that no longer exists is kept and pointed out; the browser
    // starts in the documents folder then, and a chosen folder replaces it.
    void missingFolder() {
        TConfigFormDlg* dialog = m_w.ConfigFormDlg;
        TConfigValues v = m_main->ConfigValues();
        v.ParaDir = m_dir.filePath(QStringLiteral("gone"));
        v.FirmDir = Folder(QStringLiteral("firm"));
        dialog->Fill(v);
        QVERIFY(dialog->DirectoryMissing[0]->isVisibleTo(dialog));
        QCOMPARE(dialog->DirectoryMissing[0]->text(), LabelText(310));
        QVERIFY(!dialog->DirectoryMissing[1]->isVisibleTo(dialog));
        QVERIFY(dialog->DirectoryEdit[0]->isReadOnly());
        QCOMPARE(dialog->Values().ParaDir, v.ParaDir); // kept as it is

        QList<TFileDialogRequest> asked;
        const QString chosen = Folder(QStringLiteral("chosen"));
        TFileDialogs::SetResponder([&](const TFileDialogRequest& r) {
            asked << r;
            return chosen;
        });
        dialog->DirectoryButton[0]->click();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].kind, TFileDialogRequest::Directory);
        QCOMPARE(asked[0].directory, Fallback());
        QCOMPARE(dialog->Values().ParaDir, chosen);
        QVERIFY(!dialog->DirectoryMissing[0]->isVisibleTo(dialog));

        // The same fallback for every later file dialog.
        QCOMPARE(TFileDialogs::StartFolder(v.ParaDir), Fallback());
        QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
        QCOMPARE(TFileDialogs::StartFolder(v.ParaDir),
                 QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
        QCOMPARE(TFileDialogs::StartFolder(v.FirmDir), v.FirmDir);
        QCOMPARE(TFileDialogs::StartFolder(v.FirmDir + QStringLiteral("/new.par")),
                 v.FirmDir + QStringLiteral("/new.par"));
    }

    // --- Language switch ----------------------------------------------------------

    // Every window at once, without a restart: the main window's menus and
    // status texts, a dialog with texts built in code, a window of its own,
    // and anything that listens for QEvent::LanguageChange.
    void languageSwitchRelabelsEverything() {
        auto* listener = new TLanguageListener(m_w.GrafikDlg);
        m_main->ShowStatus(LookupLabel(0, 119, true) + QStringLiteral(" 192.0.2.1:5000"),
                           TStatusPanel::SocketStatus);
        m_w.ParameterForm->show();

        m_main->SaveLanguage(1);
        QCOMPARE(listener->Changes, 1); // told at once, and once
        QCOMPARE(m_main->Ui().Extras_Optionen->text(), LookupLabel(1, 24, false));
        QCOMPARE(m_main->Ui().Menu_Hilfe->title(), LookupLabel(1, 50, false));
        QCOMPARE(m_main->PanelText(TStatusPanel::SocketStatus),
                 LookupLabel(1, 119, true) + QStringLiteral(" 192.0.2.1:5000"));
        QCOMPARE(m_w.ConfigFormDlg->windowTitle(), LookupLabel(1, 300, true));
        QCOMPARE(m_w.ConfigFormDlg->rg_sprache->title(), LookupLabel(1, 304, false));
        QCOMPARE(m_w.ConfigFormDlg->Combo_Caret->itemText(1), QStringLiteral("Unterstrich"));
        QCOMPARE(m_w.ConfigFormDlg->rb_German->text(), LookupLabel(1, 307, false));
        QCOMPARE(m_w.AboutBox->windowTitle(), LookupLabel(1, 200, true));
        QCOMPARE(m_w.AboutBox->OKButton->text(), LookupLabel(1, 1, false));
        QCOMPARE(m_w.ParameterForm->windowTitle(), LookupLabel(1, 61, true));

        m_main->SaveLanguage(0);
        QCOMPARE(listener->Changes, 2);
        QCOMPARE(m_main->PanelText(TStatusPanel::SocketStatus),
                 LookupLabel(0, 119, true) + QStringLiteral(" 192.0.2.1:5000"));
        QCOMPARE(m_w.ConfigFormDlg->Combo_Caret->itemText(1), QStringLiteral("Underline"));
        QCOMPARE(m_main->Ui().Datei_Drucken->text(), LookupLabel(0, 15, false));
    }

    // The operator's round on a live sensor: German chosen in the options,
    // the terminal widened; every window turns German at once, and the
    // link, the sensor's identity and the terminal's text stay as they were.
    void languageSwitchOnLiveSensor() {
        std::unique_ptr<TSimPty> sim;
        QVERIFY(StartOnSimulatedSensor(m_dir.filePath(QStringLiteral("sim")), TSimOptions{}, sim,
                                       m_main, m_w));
        QTRY_VERIFY_WITH_TIMEOUT(Identified(*m_main, m_w, *sim), 10000);
        const QString serial = m_w.ParameterForm->SerialNumberText();
        const QString port = m_main->PanelText(TStatusPanel::ComPort);
        m_main->Ui().Fenster_Parameter->trigger();
        QVERIFY(m_w.ParameterForm->isVisible());

        WhenModal([](QWidget* w) {
            auto* d = qobject_cast<TConfigFormDlg*>(w);
            QVERIFY(d);
            d->rb_German->setChecked(true);
            d->ed_Columns->setText(QStringLiteral("80"));
            d->BitBtn_ok->click();
        });
        m_main->Ui().Extras_Optionen->trigger();
        QCOMPARE(m_main->Ui().Menu_Datei->title(), LookupLabel(1, 10, false));
        QCOMPARE(m_main->Ui().Parameter_auslesen->text(), LookupLabel(1, 70, false));
        QCOMPARE(m_w.ParameterForm->windowTitle(), LookupLabel(1, 61, true));
        QCOMPARE(m_w.ParameterForm->SerialNumberText(), serial);
        QCOMPARE(m_main->PanelText(TStatusPanel::ComPort), port);
        QCOMPARE(m_main->Ui().ComTerminal->Columns(), 80);
        QVERIFY(m_main->ComPort()->Connected());

        // The sensor still answers, and its answer reaches the terminal.
        const qsizetype before = sim->Sensor().ReceivedBytes().size();
        m_main->Ui().Befehle_Info->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(sim->Sensor().ReceivedBytes().mid(before).contains("INFO\r\n"),
                                 10000);
        m_w.ParameterForm->hide();
        m_main->StartUpTimer().stop();
        m_main.reset(); // before its sensor
    }

    // --- About box and version -----------------------------------------------------

    void aboutBox() {
        QVERIFY(m_main->Ui().Hilfe_Info->isEnabled());
        QCOMPARE(m_main->Ui().Hilfe_Info->shortcut(), QKeySequence(Qt::Key_F1));
        TAboutBox* box = m_w.AboutBox;
        QString shownVersion;
        WhenModal([&](QWidget* w) {
            QCOMPARE(w, box);
            shownVersion = box->lb_Version->text();
            box->OKButton->click();
        });
        m_main->Ui().Hilfe_Info->trigger();
        const TVersionInfo info;
        QCOMPARE(shownVersion, info.VersionLine());
        QVERIFY(VersionText().contains(shownVersion)); // what --version prints
        QCOMPARE(box->ProductName->text(), QStringLiteral("ORXTERM"));
        QCOMPARE(box->lb_copyright->text(), info.String(TVersionInfo::LegalCopyright));
        QVERIFY(!box->Image->pixmap().isNull());

        // The addresses are the build's: those not configured are not shown.
        QCOMPARE(box->lb_Web->isHidden(), QByteArray(OrxVersion::WebAddress).isEmpty());
        QCOMPARE(box->lb_Address->isHidden(), QByteArray(OrxVersion::PostalAddress).isEmpty());
        box->SetAddresses(QString(), QString(), QString());
        QVERIFY(box->lb_Address->isHidden() && box->lb_Web->isHidden() && box->lb_Mail->isHidden());
        box->SetAddresses(QStringLiteral("Line 1\nLine 2"), QStringLiteral("https://example.org"),
                          QStringLiteral("help@example.org"));
        QVERIFY(!box->lb_Address->isHidden() && !box->lb_Web->isHidden() &&
                !box->lb_Mail->isHidden());

        TUrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "Open");
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "Open");
        for (QLabel* link : {box->lb_Web, box->lb_Mail}) {
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
            QTest::mouseClick(link, Qt::LeftButton);
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
        QCOMPARE(catcher.Urls.size(), 2);
        QCOMPARE(catcher.Urls[0], QUrl(box->lb_Web->text()));
        QCOMPARE(catcher.Urls[1].toString(), QStringLiteral("mailto:") + box->lb_Mail->text());
    }

    // --- Print ---------------------------------------------------------------------

    // The copy in 2048-byte blocks, over a longer earlier copy, into a folder
    // named with or without its trailing "/".
    void printCopy_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("trailingSlash");
        QTest::newRow("empty") << 0 << false;
        QTest::newRow("one block") << 2048 << true;
        QTest::newRow("blocks and a rest") << 5000 << false;
        QTest::newRow("many blocks") << 300000 << true;
    }
    void printCopy() {
        QFETCH(int, size);
        QFETCH(bool, trailingSlash);
        const QString folder = Folder(QStringLiteral("copy%1").arg(size));
        const QString source = m_dir.filePath(QStringLiteral("source%1.par").arg(size));
        Write(source, Pattern(size));
        Write(folder + QStringLiteral("/print.txt"), QByteArray(size + 4096, 'x'));
        QString error;
        const QString copy =
            ShellFiles::CopyForPrint(source, trailingSlash ? folder + u'/' : folder, &error);
        QCOMPARE(copy, QDir(folder).filePath(QStringLiteral("print.txt")));
        QCOMPARE(error, QString());
        QCOMPARE(Read(copy), Pattern(size));
    }

    // Nothing to read (a folder, a device, a pipe), nowhere to write (no
    // folder, a full disk), and the copy chosen itself.
    void printCopyFailures() {
        const QString folder = Folder(QStringLiteral("fail"));
        QString error;
        QVERIFY(
            ShellFiles::CopyForPrint(m_dir.filePath(QStringLiteral("absent.par")), folder, &error)
                .isEmpty());
        QVERIFY2(error.contains(QStringLiteral("absent.par")), qPrintable(error));
        error.clear();
        QVERIFY(ShellFiles::CopyForPrint(folder, folder, &error).isEmpty()); // a folder
        QCOMPARE(error, folder + QStringLiteral(": ") + LabelText(260));
        error.clear();
        // Devices are refused (/dev/null here: a regression then copies
        // nothing rather than filling the disk from /dev/zero).
        QVERIFY(ShellFiles::CopyForPrint(QStringLiteral("/dev/null"), folder, &error).isEmpty());
        QCOMPARE(error, QStringLiteral("/dev/null: ") + LabelText(262));
        QVERIFY(!QFile::exists(folder + QStringLiteral("/print.txt")));
        // So is a pipe, which would block the window, for print and edit.
        const QString pipe = m_dir.filePath(QStringLiteral("print.fifo"));
        QVERIFY(QFileInfo::exists(pipe) ||
                ::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        QVERIFY(ShellFiles::CopyForPrint(pipe, folder, &error).isEmpty());
        QCOMPARE(error, pipe + QStringLiteral(": ") + LabelText(261));
        error.clear();
        QVERIFY(!ShellFiles::OpenInTextEditor(pipe, &error));
        QCOMPARE(error, pipe + QStringLiteral(": ") + LabelText(261));
        error.clear();
        // No editor at all: the new file made for it goes again, an
        // existing one stays.
        {
            const QByteArray path = qgetenv("PATH");
            const QStringList names = {QStringLiteral("VISUAL"), QStringLiteral("EDITOR"),
                                       QStringLiteral("TERMINAL")};
            QList<QByteArray> saved;
            for (const QString& name : names) {
                saved << qgetenv(name.toLatin1().constData());
                qunsetenv(name.toLatin1().constData());
            }
            qputenv("PATH", QFile::encodeName(Folder(QStringLiteral("nothing-on-path"))));
            const QString fresh = m_dir.filePath(QStringLiteral("new-notes.txt"));
            const bool opened = ShellFiles::OpenInTextEditor(fresh, &error);
            const QString kept = m_dir.filePath(QStringLiteral("kept-notes.txt"));
            Write(kept, "");
            const bool openedKept = ShellFiles::OpenInTextEditor(kept, &error);
            qputenv("PATH", path);
            for (qsizetype i = 0; i < names.size(); ++i)
                if (!saved.at(i).isNull()) qputenv(names.at(i).toLatin1().constData(), saved.at(i));
            QVERIFY(!opened && !openedKept);
            QVERIFY(!QFileInfo::exists(fresh));
            QVERIFY(QFileInfo::exists(kept));
            error.clear();
        }
        const QString source = m_dir.filePath(QStringLiteral("fine.par"));
        Write(source, "PAR 1\r\n");
        QVERIFY(ShellFiles::CopyForPrint(source, m_dir.filePath(QStringLiteral("no/such")), &error)
                    .isEmpty());
        QVERIFY2(error.contains(QStringLiteral("print.txt")), qPrintable(error));

        // A full disk: the earlier copy stays as it was.
        {
            TFullFileSystem disk;
            QVERIFY2(disk.Mounted(), qPrintable(disk.Error()));
            const QString earlier = disk.FilePath(QStringLiteral("print.txt"));
            Write(earlier, "earlier copy\n");
            const QString big = m_dir.filePath(QStringLiteral("big.par"));
            Write(big, Pattern(200000));
            QVERIFY(disk.Fill(50000));
            QVERIFY(ShellFiles::CopyForPrint(big, disk.Path(), &error).isEmpty());
            QCOMPARE(error, earlier + QStringLiteral(": ") + qt_error_string(ENOSPC));
            QCOMPARE(Read(earlier), QByteArray("earlier copy\n"));
        }

        // print.txt itself: printed as it is, never emptied by the copy.
        const QString own = folder + QStringLiteral("/print.txt");
        Write(own, "the only copy\n");
        QCOMPARE(ShellFiles::CopyForPrint(own, folder + u'/', &error), own);
        QCOMPARE(Read(own), QByteArray("the only copy\n"));
    }

    // The whole action: the open dialog, the copy, the print dialog answered
    // with a PDF file; a parameter file of many lines fills several pages.
    void printToPdf() {
        const QString par = Folder(QStringLiteral("printing"));
        m_main->SaveParaDir(par);
        const QString source = m_dir.filePath(QStringLiteral("set.par"));
        QByteArray text;
        for (int i = 0; i < 400; ++i)
            text += "PAR" + QByteArray::number(i) + " = " + QByteArray(i % 150, 'w') + "\r\n";
        text += "Umlaut \xe4\xf6\xfc Latin-1\tTab\r\n";
        Write(source, text);
        QList<TFileDialogRequest> asked;
        TFileDialogs::SetResponder([&](const TFileDialogRequest& r) {
            asked << r;
            return source;
        });
        const QString pdf = m_dir.filePath(QStringLiteral("out.pdf"));
        int dialogs = 0;
        TPrintDialogs::SetResponder([&](QPrinter& printer) {
            ++dialogs;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        });
        QVERIFY(m_main->Ui().Datei_Drucken->isEnabled());
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(0);
        m_main->Ui().Datei_Drucken->trigger();
        ticker.stop();
        QVERIFY(ticks > 0); // the window's events went on between the pages
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].kind, TFileDialogRequest::Open);
        QCOMPARE(asked[0].directory, par);
        QVERIFY(asked[0].mustExist);
        QCOMPARE(asked[0].defaultSuffix, QStringLiteral("par"));
        QCOMPARE(asked[0].filter, LabelText(102) + u'|' + LabelText(101) + u'|' + LabelText(123) +
                                      u'|' + LabelText(107));
        QCOMPARE(dialogs, 1);
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(Read(par + QStringLiteral("/print.txt")), text);
        const QByteArray out = Read(pdf);
        QVERIFY(out.startsWith("%PDF"));
        QVERIFY2(out.count("/Type /Page\n") >= 3,
                 qPrintable(QString::number(out.count("/Type /Page\n"))));
    }

    // A parameter folder that cannot take the copy: the reason in an error
    // box, and the print dialog never opens.
    void printWithoutCopy() {
        m_main->SaveParaDir(m_dir.filePath(QStringLiteral("removed")));
        const QString source = m_dir.filePath(QStringLiteral("x.par"));
        Write(source, "PAR 1\r\n");
        TFileDialogs::SetResponder([&](const TFileDialogRequest&) { return source; });
        int dialogs = 0;
        TPrintDialogs::SetResponder([&](QPrinter&) { return ++dialogs, false; });
        m_main->Ui().Datei_Drucken->trigger();
        QCOMPARE(dialogs, 0);
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].kind, mtError);
        QVERIFY(m_boxes[0].text.startsWith(LabelText(210).arg(source)));
        QVERIFY2(m_boxes[0].text.contains(QStringLiteral("print.txt")),
                 qPrintable(m_boxes[0].text));

        // Cancelled in the print dialog: no box.
        m_boxes.clear();
        m_main->SaveParaDir(Folder(QStringLiteral("cancel")));
        m_main->Ui().Datei_Drucken->trigger();
        QCOMPARE(dialogs, 1);
        QVERIFY(m_boxes.isEmpty());
    }

    // --- Edit ------------------------------------------------------------------

    // A new file name: created empty and handed to the desktop.
    void editHandsFileToDesktop() {
        const QString file = m_dir.filePath(QStringLiteral("new.par"));
        QList<TFileDialogRequest> asked;
        TFileDialogs::SetResponder([&](const TFileDialogRequest& r) {
            asked << r;
            return file;
        });
        TUrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
        m_main->Ui().Datei_Bearbeiten->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(asked.size(), 1);
        QVERIFY(!asked[0].mustExist);
        QCOMPARE(catcher.Urls, QList<QUrl>{QUrl::fromLocalFile(file)});
        QVERIFY(QFile::exists(file));
        QVERIFY(m_boxes.isEmpty());
    }

    // Where the desktop opens nothing: the editor of VISUAL or EDITOR in a
    // terminal emulator, or the reason why not.
    void editorFallback_data() {
        QTest::addColumn<QString>("visual");
        QTest::addColumn<QString>("editor");
        QTest::addColumn<QString>("terminal");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("errorLabel");
        QTest::newRow("visual first")
            << "vim -p"
            << "nano"
            << "" << QStringList{"/usr/bin/xterm", "-e", "vim", "-p", "/f.par"} << 0;
        QTest::newRow("editor") << ""
                                << "nano"
                                << "" << QStringList{"/usr/bin/xterm", "-e", "nano", "/f.par"} << 0;
        QTest::newRow("own terminal")
            << ""
            << "\"my editor\""
            << "kitty" << QStringList{"/opt/kitty", "-e", "my editor", "/f.par"} << 0;
        QTest::newRow("none named") << " "
                                    << ""
                                    << "" << QStringList{} << 212;
        QTest::newRow("no terminal") << ""
                                     << "vi"
                                     << "missing" << QStringList{} << 0;
    }
    void editorFallback() {
        QFETCH(QString, visual);
        QFETCH(QString, editor);
        QFETCH(QString, terminal);
        QFETCH(QStringList, command);
        QFETCH(int, errorLabel);
        const bool noTerminal = terminal == QLatin1String("missing");
        auto env = [&](const char* name) {
            const QByteArray n(name);
            return n == "VISUAL"   ? visual
                   : n == "EDITOR" ? editor
                   : noTerminal    ? QString()
                                   : terminal;
        };
        auto find = [&](const QString& name) -> QString {
            if (noTerminal) return {};
            if (name == QLatin1String("kitty")) return QStringLiteral("/opt/kitty");
            if (name == QLatin1String("xterm")) return QStringLiteral("/usr/bin/xterm");
            return {};
        };
        QString error;
        QCOMPARE(ShellFiles::EditorCommand(QStringLiteral("/f.par"), env, find, &error), command);
        if (errorLabel) QCOMPARE(error, LabelText(errorLabel));
        if (noTerminal) QCOMPARE(error, LabelText(213).arg(QStringLiteral("vi")));
        if (!command.isEmpty()) QCOMPARE(error, QString());
    }
};

QTEST_MAIN(TestExtras)
#include "tst_extras.moc"
