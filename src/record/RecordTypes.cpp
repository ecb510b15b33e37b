// SPDX-License-Identifier: MIT
#include "RecordTypes.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSysInfo>

#include <array>
#include <utility>

#include <pwd.h>
#include <unistd.h>

namespace {

constexpr std::array<std::pair<TRecordAction, const char*>, 7> ActionNames{{
    {TRecordAction::Identify, "Identify"},
    {TRecordAction::Read, "Read"},
    {TRecordAction::ReadToFile, "ReadToFile"},
    {TRecordAction::Write, "Write"},
    {TRecordAction::WriteAndStore, "WriteAndStore"},
    {TRecordAction::Compare, "Compare"},
    {TRecordAction::FirmwareUpdate, "FirmwareUpdate"},
}};

constexpr std::array<std::pair<TFlowResult, const char*>, 7> ResultNames{{
    {TFlowResult::Done, "Done"},
    {TFlowResult::NoLink, "NoLink"},
    {TFlowResult::NoAnswer, "NoAnswer"},
    {TFlowResult::SensorError, "SensorError"},
    {TFlowResult::FileError, "FileError"},
    {TFlowResult::Cancelled, "Cancelled"},
    {TFlowResult::ConstantDiffers, "ConstantDiffers"},
}};

template <typename Enum, std::size_t N>
QString NameOf(const std::array<std::pair<Enum, const char*>, N>& names, Enum value) {
    for (const auto& [v, name] : names)
        if (v == value) return QString::fromLatin1(name);
    return QString::number(int(value));
}

template <typename Enum, std::size_t N>
std::optional<Enum> ValueOf(const std::array<std::pair<Enum, const char*>, N>& names,
                            const QString& name) {
    for (const auto& [v, n] : names)
        if (name == QLatin1String(n)) return v;
    return std::nullopt;
}

} // namespace

QString RecordActionName(TRecordAction action) {
    return NameOf(ActionNames, action);
}
std::optional<TRecordAction> RecordActionFromName(const QString& name) {
    return ValueOf(ActionNames, name);
}
QString FlowResultName(TFlowResult result) {
    return NameOf(ResultNames, result);
}
std::optional<TFlowResult> FlowResultFromName(const QString& name) {
    return ValueOf(ResultNames, name);
}

bool IsWriteAction(TRecordAction action) {
    return action == TRecordAction::Write || action == TRecordAction::WriteAndStore;
}

QString LoginName() {
    for (const char* name : {"LOGNAME", "USER"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty()) return value;
    }
    // No environment (a service started by the system): the account's name.
    passwd entry{};
    passwd* found = nullptr;
    std::array<char, 1024> buffer{};
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(::geteuid());
}

TRecordEvent NewRecordEvent(const QString& serial, TRecordAction action) {
    TRecordEvent event;
    event.Serial = serial;
    event.Action = action;
    event.Time = QDateTime::currentDateTimeUtc();
    event.User = LoginName();
    event.Host = QSysInfo::machineHostName();
    return event;
}

QString FileSha256(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return {};
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return {};
    }
    return QString::fromLatin1(hash.result().toHex());
}
