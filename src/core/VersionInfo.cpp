// SPDX-License-Identifier: MIT
#include "VersionInfo.h"

#include "OrxVersion.h"

#include <QLocale>

namespace {
// The names of string values 1 to 10, in index order.
constexpr const char* kStringNames[TVersionInfo::StringCount] = {
    nullptr,        "CompanyName",    "FileDescription", "FileVersion",
    "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFilename",
    "ProductName",  "ProductVersion", "Comments"};

QString LanguageDisplayName(const QString& localeName) {
    if (localeName.isEmpty()) return {};
    const QLocale locale(localeName);
    if (locale.language() == QLocale::C) return {};
    return QStringLiteral("%1 (%2)").arg(QLocale::languageToString(locale.language()),
                                         QLocale::territoryToString(locale.territory()));
}
} // namespace

TVersionResource TVersionResource::Own() {
    using namespace OrxVersion;
    TVersionResource r;
    r.Language = quint16(TranslationLanguage);
    r.CodePage = quint16(TranslationCodePage);
    r.Locale = QString::fromLatin1(TranslationLocale);
    const std::pair<const char*, const char*> values[] = {
        {"CompanyName", OrxVersion::CompanyName},
        {"FileDescription", OrxVersion::FileDescription},
        {"FileVersion", OrxVersion::FileVersion},
        {"InternalName", OrxVersion::InternalName},
        {"LegalCopyright", OrxVersion::LegalCopyright},
        {"LegalTrademarks", OrxVersion::LegalTrademarks},
        {"OriginalFilename", OrxVersion::OriginalFilename},
        {"ProductName", OrxVersion::ProductName},
        {"ProductVersion", OrxVersion::ProductVersion},
        {"Comments", OrxVersion::Comments},
    };
    for (const auto& [name, value] : values)
        if (*value) r.Strings.insert(QLatin1String(name), QString::fromUtf8(value));
    r.FileVersion = {quint16(Major), quint16(Minor), quint16(Release), quint16(Build)};
    return r;
}

TVersionInfo::TVersionInfo() : m_resource(TVersionResource::Own()) {}

TVersionInfo::TVersionInfo(TVersionResource resource) : m_resource(std::move(resource)) {}

QString TVersionInfo::String(int index) const {
    if (index == LanguageName) return LanguageDisplayName(m_resource.Locale).left(MaxString);
    if (index < 1 || index >= StringCount) return {};
    return m_resource.Strings.value(QLatin1String(kStringNames[index])).left(MaxString);
}

int TVersionInfo::Number(int index) const {
    if (index < 0 || index >= NumberCount) return 0;
    return m_resource.FileVersion[size_t(index)];
}

QString TVersionInfo::TranslationKey() const {
    return QStringLiteral("%1%2")
        .arg(m_resource.Language, 4, 16, QLatin1Char('0'))
        .arg(m_resource.CodePage, 4, 16, QLatin1Char('0'))
        .toUpper();
}

QString TVersionInfo::VersionLine() const {
    return QString::asprintf("Version %d.%d Build (%d)", Number(Major), Number(Minor),
                             Number(Build));
}

QString ProductTitle() {
    return TVersionInfo().String(TVersionInfo::ProductName);
}
