// SPDX-License-Identifier: MIT
#pragma once

#include "THost.h"

#include <QObject>
#include <QStringList>

class TParameterForm;

// Every exchange in which ORXTERM asks the sensor for its identity or its
// parameter set. Each one first switches off the sensor's measurement
// output on the interface it talks through (the handshake), so that no
// measurement lines mix into the answers, and puts the output back into
// its previous state at the end. A read enters system mode and always
// leaves it again, whatever the sensor answers or fails to answer.
class TParameterReader : public QObject {
    Q_OBJECT
public:
    TParameterReader(THost& host, TParameterForm& editor, QObject* parent = nullptr);

    // SID, the S<n>ON state (switched off), INFO: SensorPort, serial
    // number, software version and Firmware32Bit. Shows label 105 when the
    // sensor gives no usable output state. The caller sends the attention
    // sequence first.
    void IdentifySensor();
    bool Identifying() const { return m_identifying; }

    // Reads the parameter set into the editor (Alt+A) / into a .par file (F2).
    void Parameter_auslesen();
    void Datei_Parameter_lesen();
    bool Reading() const { return m_reading; }
    // Reads the sensor's set for a comparison, leaving the editor as it is:
    // the same exchange as a read (output off, system mode entered and
    // always left, output back). False when the sensor gave no set.
    bool ReadSensorSet(QStringList* lines);
    // How the last read ended.
    TFlowResult LastResult() const { return m_result; }

    // The output-off handshake; false (after label 105) when the sensor
    // gives no usable output state. `previous` is the state before.
    // `channel` is the output channel n it worked with.
    bool Handshake(int* previous, int* channel = nullptr);

    // Replaces, from the first occurrence of `key` (any case) up to the next
    // CR or the end, by `line`.
    static QString ReplaceParameterLine(const QString& text, const QString& key,
                                        const QString& line);
    // Applies the INFO lines to `identity`: the series word "ORX" or a line
    // with "32bit" gives the version and the firmware flag, "S/N" the
    // serial number.
    static void ParseInfo(const QStringList& lines, TSensorIdentity& identity);
    // Splits a reply into lines (CR LF, CR or LF).
    static QStringList ReplyLines(const QByteArray& reply);
    // Whether a READ reply holds a parameter set: at least one line whose
    // first word is a parameter key.
    static bool HasParameterLines(const QString& reply);

    // The header lines of a parameter file: "REM PARAMETER FILE", "REM DATE
    // " and the locale's date and time, an empty line.
    static QStringList HeaderLines();

signals:
    // A read into the editor ended (successfully or not).
    void ReadFinished();

private:
    bool LinkOpen() const;
    int Channel() const { return m_host.Sensor().Identity().OutputChannel(); }
    QStringList ReadInfoLines();
    void EnterSystemMode();
    static QByteArrayList RestoreCommands(int previous, int n, bool systemMode);
    bool LeaveSystemModeAndRestore(int previous, int n, bool systemMode);
    QString ReadParameterList(const QString& head, int previous, int n);
    void ReportNoSet(int previous, int n, const QString& kept);
    void HandshakeFailed();
    void ApplyToEditor(const QStringList& lines);
    void PublishMemoRec(const QString& text);

    THost& m_host;
    TParameterForm& m_editor;
    bool m_identifying = false;
    bool m_reading = false;
    TFlowResult m_result = TFlowResult::Done;
};
