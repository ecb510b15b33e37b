// SPDX-License-Identifier: MIT
// The labelling pass: what each kind of component takes from its tag,
// hints that stay when their label is missing, windows that are hidden,
// and a change of language.
#include "ApplyLabels.h"
#include "Labels.h"
#include "Tag.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class TestApplyLabels : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() {
        const QString path = m_dir.filePath(QStringLiteral("l.lab"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[10]\nD=&Datei\nE=&File\n"
                "[1010]\nD=Datei&menü\nE=File &menu\n"
                "[11]\nD=&Öffnen\nE=&Open\n"
                "[1011]\nD=Datei ö&ffnen\nE=Open a &file\n"
                "[20]\nD=Eingabe\nE=Input\n"
                "[21]\nD=&Verbindung\nE=&Connection\n"
                "[22]\nD=&Tafel\nE=&Panel\n");
        f.close();
        SetLabelFilePath(path);
    }

    void componentsByKind() {
        SetCurrentLanguage(0);
        QWidget window;
        auto* menu = new QMenu(&window);
        SetTag(menu, 10);
        auto* open = new QAction(QStringLiteral("built-in"), &window);
        SetTag(open, 11);
        auto* missing = new QAction(QStringLiteral("Datei"), &window);
        missing->setToolTip(QStringLiteral("built-in hint"));
        SetTag(missing, 104);
        auto* edit = new QLineEdit(&window);
        edit->setToolTip(QStringLiteral("kept"));
        SetTag(edit, 20);
        auto* editMissing = new QLineEdit(&window);
        editMissing->setToolTip(QStringLiteral("kept"));
        SetTag(editMissing, 105);
        auto* label = new QLabel(&window);
        SetTag(label, 10);
        auto* panel = new QLabel(&window);
        panel->setProperty("panel", true);
        SetTag(panel, 22);
        auto* group = new QGroupBox(&window);
        SetTag(group, 21);
        auto* button = new QPushButton(&window);
        SetTag(button, 11);
        auto* untagged = new QPushButton(QStringLiteral("as is"), &window);

        ApplyLabels({&window}, {});

        QCOMPARE(menu->title(), QStringLiteral("&File"));
        QCOMPARE(menu->menuAction()->statusTip(), QStringLiteral("File &menu"));
        QCOMPARE(open->text(), QStringLiteral("&Open"));
        QCOMPARE(open->toolTip(), QStringLiteral("Open a file"));
        QCOMPARE(open->statusTip(), QStringLiteral("Open a file"));
        QCOMPARE(missing->text(), QStringLiteral("KEY [104]"));
        QCOMPARE(missing->toolTip(), QStringLiteral("built-in hint"));
        QCOMPARE(edit->toolTip(), QStringLiteral("Input"));
        QCOMPARE(editMissing->toolTip(), QStringLiteral("kept"));
        QCOMPARE(label->text(), QStringLiteral("&File"));
        QCOMPARE(panel->text(), QStringLiteral("Panel"));
        QCOMPARE(group->title(), QStringLiteral("&Connection"));
        QCOMPARE(button->text(), QStringLiteral("&Open"));
        QCOMPARE(untagged->text(), QStringLiteral("as is"));
    }

    // Hidden windows are relabelled too, and captions follow the language.
    void hiddenWindowsAndLanguage() {
        QWidget main;
        auto* dialog = new QDialog(&main);
        SetTag(dialog, 21);
        auto* inner = new QPushButton(dialog);
        SetTag(inner, 11);
        QVERIFY(!dialog->isVisible());

        SetCurrentLanguage(1);
        ApplyLabels({&main, dialog}, {dialog});
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Verbindung"));
        QCOMPARE(inner->text(), QString::fromUtf8("&Öffnen"));

        SetCurrentLanguage(0);
        ApplyLabels({&main, dialog}, {dialog});
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Connection"));
        QCOMPARE(inner->text(), QStringLiteral("&Open"));
    }

    void windowWithoutTagKeepsCaption() {
        QWidget w;
        w.setWindowTitle(QStringLiteral("ORXTERM"));
        ApplyFormLabel(&w);
        QCOMPARE(w.windowTitle(), QStringLiteral("ORXTERM"));
    }
};

QTEST_MAIN(TestApplyLabels)
#include "tst_applylabels.moc"
