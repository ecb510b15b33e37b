// SPDX-License-Identifier: MIT
// The command table of the simulated sensor: what each executed line does
// and which lines it answers. Error answers:
//   E01 unknown command or key      E02 system mode needed, wrong password
//   E03 not possible on this model  E04 line format not supported
//   E05 value refused
#include "TSimSensor.h"

#include "TSimFormat.h"

#include <cmath>

namespace {

const QString kE01 = QStringLiteral("E01");
const QString kE02 = QStringLiteral("E02");
const QString kE03 = QStringLiteral("E03");
const QString kE04 = QStringLiteral("E04");
const QString kE05 = QStringLiteral("E05");

bool IsSerialKey(const QString& key) {
    return key.size() > 2 && key.at(0) == QLatin1Char('S') &&
           (key.at(1) == QLatin1Char('1') || key.at(1) == QLatin1Char('2'));
}

} // namespace

TSimSensor::TAnswer TSimSensor::Execute(const QString& line) {
    if (m_pending != TPending::None && !line.isEmpty()) {
        const TPending pending = std::exchange(m_pending, TPending::None);
        if (pending == TPending::SystemPassword) {
            if (line != QLatin1String("TARVEK")) return {{kE02}};
            m_systemMode = true;
            return {{QStringLiteral("SYSTEM MODE ON")}};
        }
        if (line != QLatin1String("/KELBOR")) return {{kE05}};
        m_params.Store();
        return {{QStringLiteral("PARAMETERS STORED")}};
    }
    if (line.isEmpty()) return {};

    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    const QString word = (blank < 0 ? line : line.left(blank)).toUpper();
    const QString rest = blank < 0 ? QString() : line.mid(blank + 1).trimmed();

    if (const TSimParamDef* def = m_params.Find(word)) return ExecuteParameter(*def, rest);
    bool known = false;
    TAnswer answer = ExecuteService(word, rest, &known);
    if (known) return answer;
    return {{kE01}};
}

TSimSensor::TAnswer TSimSensor::ExecuteParameter(const TSimParamDef& def, const QString& value) {
    const QString key = QLatin1String(def.Key);
    if (def.Group == 2 && !m_systemMode) return {{kE02}};
    if (const auto it = m_faults.ErrorKeys.constFind(key); it != m_faults.ErrorKeys.cend())
        return {{it.value()}};
    if (value.isEmpty()) return {{m_params.Display(def)}};
    if (key.endsWith(QLatin1String("FORMAT")) && SimLineKind(value) == TSimLineKind::Long &&
        !m_model.LengthCounter)
        return {{kE04}};
    if (!m_params.Set(def, value)) return {{kE05}};
    if (IsSerialKey(key)) ConfigureOutput();
    return {};
}

TSimSensor::TAnswer TSimSensor::ListKeys(const QList<const TSimParamDef*>& defs) const {
    TAnswer answer;
    for (const TSimParamDef* def : defs)
        answer.Lines << m_params.ListLine(*def);
    return answer;
}

QStringList TSimSensor::InfoLines() const {
    return {QStringLiteral("ORX %1 %2").arg(m_model.Name, m_model.Version),
            QStringLiteral("S/N %1").arg(m_serial), QStringLiteral("OPTICS 100/35 mm"),
            QStringLiteral("INTERFACES RS232 RS485"),
            QStringLiteral("LENGTH COUNTER %1").arg(m_model.LengthCounter ? "YES" : "NO")};
}

// Identity, listings, modes and the service commands.
TSimSensor::TAnswer TSimSensor::ExecuteService(const QString& word, const QString& rest,
                                               bool* known) {
    *known = true;
    const TSimSample s = SampleNow();
    if (word == QLatin1String("SID")) return {{QString::number(m_options.Sid)}};
    if (word == QLatin1String("INFO")) return {InfoLines()};
    if (word == QLatin1String("POST") && m_model.Firmware32)
        return {{QStringLiteral("POST RAM OK"), QStringLiteral("POST FLASH OK"),
                 QStringLiteral("POST CCD OK"), QStringLiteral("POST LAMP OK"),
                 QStringLiteral("POST TEMP 38 C")}};
    if (word == QLatin1String("READ")) {
        QList<const TSimParamDef*> defs;
        for (const TSimParamDef* def : m_params.Defs())
            if (def->Group != 2 || m_systemMode) defs << def;
        return ListKeys(defs);
    }
    if (word == QLatin1String("PARAMETER"))
        return m_systemMode ? ListKeys(m_params.Group(1) + m_params.Group(2))
                            : ListKeys(m_params.Group(1));
    if (word == QLatin1String("PINC")) return ListKeys(m_params.Group(m_model.Firmware32 ? 6 : 4));
    if (word == QLatin1String("PAN")) return ListKeys(m_params.Group(5));
    if (word == QLatin1String("PECC")) return ListKeys(m_params.Group(7));
    if (word == QLatin1String("POFFLINE")) return ListKeys(m_params.Group(8));
    if (word == QLatin1String("PAL")) return ListKeys(m_params.Group(9));
    if (word == QLatin1String("PS1") || word == QLatin1String("PS2")) {
        QList<const TSimParamDef*> defs;
        for (const char* name : {"ON", "FORMAT", "INTERFACE", "OUTPUT", "TIME"})
            defs << m_params.Find(QStringLiteral("S%1%2").arg(word.at(2)).arg(QLatin1String(name)));
        return ListKeys(defs);
    }
    if (word == QLatin1String("*SYSTEM")) {
        m_pending = TPending::SystemPassword;
        return {{QStringLiteral("PASSWORD?")}};
    }
    if (word == QLatin1String("*EXIT")) {
        if (!std::exchange(m_systemMode, false)) return {};
        return {{QStringLiteral("SYSTEM MODE OFF")}};
    }
    if (word == QLatin1String("*STORE")) {
        m_pending = TPending::StorePassword;
        return {{QStringLiteral("KEYWORD?")}};
    }
    if (word == QLatin1String("*RESTORE")) {
        m_params.Restore();
        ConfigureOutput();
        return {{QStringLiteral("PARAMETERS RESTORED")}};
    }
    if (word == QLatin1String("*UPDATE")) {
        if (m_model.UpdateRefused) return {{kE03}};
        m_rateBeforeUpdate = m_lineRate;
        m_mode = TMode::Update;
        m_records = 0;
        m_flashBytes = 0;
        ConfigureOutput();
        return {{QStringLiteral("UPDATE MODE ORX %1").arg(m_model.Name)}};
    }
    if (word == QLatin1String("*VIDEO")) {
        m_mode = TMode::Video;
        ConfigureOutput();
        m_videoTimer.start();
        return {{QStringLiteral("VIDEO (ESC ends)")}, false};
    }
    if (word == QLatin1String("*SIMULATION")) {
        const QStringList args = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bool okMode = false;
        bool okValue = false;
        const int mode = args.value(0).toInt(&okMode);
        const double value = args.value(1).toDouble(&okValue);
        if (args.size() != 2 || !okMode || !okValue || mode < 0 || mode > 1 ||
            std::abs(value) > 6000)
            return {{kE05}};
        m_profile.SetFixed(mode == 1, value / 60.0);
        if (mode == 0) return {{QStringLiteral("SIMULATION OFF")}};
        return {{QStringLiteral("SIMULATION ON %1 m/min").arg(value)}};
    }
    if (word == QLatin1String("V")) return {{QString::asprintf("%.5f m/s", s.Velocity)}};
    if (word == QLatin1String("R")) return {{QString::asprintf("%.1f %%", s.Rate)}};
    if (word == QLatin1String("L") || word == QLatin1String("START") ||
        word == QLatin1String("STOP")) {
        if (!m_model.LengthCounter) return {{kE04}};
        if (word == QLatin1String("L")) return {{QString::asprintf("%.4f m", Length())}};
        Length(); // integrate up to now before the counter changes state
        if (word == QLatin1String("START")) {
            m_length = 0;
            m_lengthRunning = true;
        } else {
            m_lengthRunning = false;
        }
        return {};
    }
    if (word == QLatin1String("TEST"))
        return {{QString::asprintf("V       %.5f m/s", s.Velocity),
                 QString::asprintf("RATE    %.1f %%", s.Rate), QStringLiteral("GAIN    12"),
                 QStringLiteral("LAMPV   18"), QStringLiteral("TEST OK")}};
    if (word == QLatin1String("TESYSTEM"))
        return {{QStringLiteral("CCD     OK"), QStringLiteral("LAMP    OK"),
                 QStringLiteral("AMP     OK"), QStringLiteral("TESYSTEM OK")}};
    if (word == QLatin1String("TESTAN"))
        return {{QStringLiteral("ANALOG  4.00 mA .. 20.00 mA"), QStringLiteral("TESTAN OK")}};
    if (word == QLatin1String("TESTFB"))
        return {{QStringLiteral("FB1     OK"), QStringLiteral("FB2     OK"),
                 QStringLiteral("TESTFB OK")}};
    if (word == QLatin1String("TESTPS"))
        return {{QStringLiteral("SUPPLY  5.02 V  12.1 V  24.3 V"), QStringLiteral("TESTPS OK")}};
    if (word == QLatin1String("TESTQ"))
        return {{QString::asprintf("QUALITY %.0f %%", s.Rate), QStringLiteral("TESTQ OK")}};
    if (word == QLatin1String("TEMPERATURE")) return {{QStringLiteral("TEMPERATURE 38.5 C")}};
    if (word == QLatin1String("SETAUTO")) return {{QStringLiteral("SETAUTO OK")}};
    if (word == QLatin1String("ECHO")) {
        if (rest != u"0" && rest != u"1" && !rest.isEmpty()) return {{kE05}};
        m_echoOff = rest == u"0";
        return {};
    }
    *known = false;
    return {};
}
