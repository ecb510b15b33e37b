// SPDX-License-Identifier: MIT
// Firmware update mode of the simulated sensor: rate commands, the HEX
// transfer and the flashing that follows its end-of-file record.
#include "TSimSensor.h"

#include "TSimHex.h"

#include <utility>

TSimSensor::TAnswer TSimSensor::ExecuteUpdate(const QString& line) {
    const QString word = line.toUpper();
    if (word.isEmpty()) return {};
    if (word == QLatin1String("B115K2") || word == QLatin1String("B38K4")) {
        const int rate = word == QLatin1String("B115K2") ? 115200 : 38400;
        if (m_lineRate != rate) {
            m_lineRate = rate;
            emit LineRateChanged(rate);
        }
        return {{QStringLiteral("BAUD %1").arg(rate)}};
    }
    if (word == QLatin1String("UPDATE")) {
        m_mode = TMode::Transfer;
        m_records = 0;
        m_flashBytes = 0;
        m_record.clear();
        return {{QStringLiteral("SEND HEX FILE")}, false};
    }
    if (word == QLatin1String("EXIT")) {
        LeaveUpdateMode();
        return {{QStringLiteral("UPDATE MODE OFF")}};
    }
    return {{QStringLiteral("E01")}};
}

void TSimSensor::LeaveUpdateMode() {
    m_mode = TMode::Command;
    m_record.clear();
    if (m_lineRate != m_rateBeforeUpdate) {
        m_lineRate = m_rateBeforeUpdate;
        emit LineRateChanged(m_lineRate);
    }
    ConfigureOutput();
}

void TSimSensor::CheckRecord() {
    const QByteArray line = std::exchange(m_record, {}).trimmed();
    if (line.isEmpty()) return;
    const THexRecord record = CheckHexRecord(line);
    const bool bell = m_faults.BellAfterRecords >= 0 && m_records >= m_faults.BellAfterRecords;
    if (!record.Valid || bell) {
        Out(QByteArray(1, '\x07'));
        m_mode = TMode::Update; // the transfer is dropped
        return;
    }
    ++m_records;
    if (record.Type == 0) m_flashBytes += record.DataLength;
    if (record.Type == 1) StartFlashing();
}

// After the end-of-file record the sensor writes its flash and reports
// progress at a slow pace, ending with "update successful" and the prompt.
void TSimSensor::StartFlashing() {
    m_mode = TMode::Update;
    const qint64 step = std::max(0, m_options.FlashStepMs);
    const QByteArray memory = m_faults.TerseFlash ? "memory" : "Flash";
    Out("\r\nErasing " + memory + "\r\n", step);
    Out("Writing " + memory + QStringLiteral(" %1 bytes\r\n").arg(m_flashBytes).toLatin1(), step);
    Out("Verifying " + memory + "\r\n", step);
    Out("update successful\r\n->", step);
}
