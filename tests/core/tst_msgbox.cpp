// SPDX-License-Identifier: MIT
// The message box: button sets and results, caption, line breaks, and the
// responder that lets tests answer instead of a person.
#include "MsgBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestMsgBox : public QObject {
    Q_OBJECT

    // Presses `button` of the next message box that appears and records
    // what it showed.
    void PressWhenShown(QMessageBox::StandardButton button) {
        QTimer::singleShot(0, this, [this, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                PressWhenShown(button);
                return;
            }
            m_caption = box->windowTitle();
            m_text = box->text();
            m_icon = box->icon();
            m_buttons = box->standardButtons();
            box->button(button)->click();
        });
    }

    QString m_caption, m_text;
    QMessageBox::Icon m_icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons m_buttons;

private slots:
    void realBox_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("shown");
        QTest::newRow("warning ok") << int(mtWarning) << int(mbOK) << int(QMessageBox::Ok) << 1
                                    << int(QMessageBox::Warning) << int(QMessageBox::Ok);
        QTest::newRow("error yes")
            << int(mtError) << int(mbYesNo) << int(QMessageBox::Yes) << 6
            << int(QMessageBox::Critical) << int(QMessageBox::Yes | QMessageBox::No);
        QTest::newRow("information no")
            << int(mtInformation) << int(mbYesNo) << int(QMessageBox::No) << 7
            << int(QMessageBox::Information) << int(QMessageBox::Yes | QMessageBox::No);
        QTest::newRow("confirmation cancel")
            << int(mtConfirmation) << int(mbYesNoCancel) << int(QMessageBox::Cancel) << 2
            << int(QMessageBox::Question)
            << int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QTest::newRow("error ok-cancel")
            << int(mtError) << int(mbOKCancel) << int(QMessageBox::Ok) << 1
            << int(QMessageBox::Critical) << int(QMessageBox::Ok | QMessageBox::Cancel);
    }
    void realBox() {
        QFETCH(int, kind);
        QFETCH(int, buttons);
        QFETCH(int, press);
        QFETCH(int, result);
        QFETCH(int, icon);
        QFETCH(int, shown);
        PressWhenShown(QMessageBox::StandardButton(press));
        QCOMPARE(TFormMsgBox::ShowMsgBox(QStringLiteral("line 1\rline 2\r\nline 3"), TMsgKind(kind),
                                         TMsgButtons(buttons), 0),
                 result);
        QCOMPARE(m_caption, QStringLiteral("ORXTERM"));
        QCOMPARE(m_text, QStringLiteral("line 1\nline 2\nline 3"));
        QCOMPARE(int(m_icon), icon);
        QCOMPARE(int(m_buttons), shown);
    }

    void plainMessage() {
        PressWhenShown(QMessageBox::Ok);
        TFormMsgBox::ShowMessage(QStringLiteral("Error"));
        QCOMPARE(m_text, QStringLiteral("Error"));
        QCOMPARE(int(m_icon), int(QMessageBox::NoIcon));
    }

    void responderAnswers() {
        TMsgBoxRequest seen;
        TFormMsgBox::SetResponder([&seen](const TMsgBoxRequest& r) {
            seen = r;
            return mrNo;
        });
        QCOMPARE(TFormMsgBox::ShowMsgBox(QStringLiteral("Store?\r"), mtConfirmation, mbYesNo), 7);
        QCOMPARE(seen.caption, QStringLiteral("ORXTERM"));
        QCOMPARE(seen.text, QStringLiteral("Store?\n"));
        QCOMPARE(seen.kind, mtConfirmation);
        QCOMPARE(seen.buttons, mbYesNo);

        // A text from outside (a settings value, say) is cut to what a box
        // can show.
        TFormMsgBox::ShowMsgBox(QString(10 * 1000 * 1000, u'9'), mtError, mbOK);
        QCOMPARE(seen.text.size(), TFormMsgBox::MaxText);
        QVERIFY(seen.text.endsWith(QChar(0x2026)));
        TFormMsgBox::SetResponder(nullptr);
    }
};

QTEST_MAIN(TestMsgBox)
#include "tst_msgbox.moc"
