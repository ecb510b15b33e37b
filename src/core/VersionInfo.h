// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QString>

#include <array>

// The program's version resource: the values that the build generates into
// OrxVersion.h, or any other set of them (tests make their own).
struct TVersionResource {
    quint16 Language = 0;            // translation: language identifier
    quint16 CodePage = 0;            // translation: code page
    QString Locale;                  // the language's locale name, for its display name
    QHash<QString, QString> Strings; // "ProductName" -> "ORXTERM", ...
    std::array<quint16, 4> FileVersion = {0, 0, 0, 0}; // major, minor, release, build

    // The program's own resource.
    static TVersionResource Own();
};

// Lookups in a version resource, made and dropped on each use. Strings by
// index (0 the translation's language name, 1 "CompanyName" ... 10
// "Comments"; a missing value is empty, a value is cut to 254 characters)
// and version numbers by index (0 major, 1 minor, 2 release, 3 build).
class TVersionInfo {
public:
    enum TStringIndex {
        LanguageName = 0,
        CompanyName,
        FileDescription,
        FileVersion,
        InternalName,
        LegalCopyright,
        LegalTrademarks,
        OriginalFilename,
        ProductName,
        ProductVersion,
        Comments,
        StringCount
    };
    enum TNumberIndex { Major = 0, Minor, Release, Build, NumberCount };
    static constexpr int MaxString = 254;

    // The running program's version.
    TVersionInfo();
    explicit TVersionInfo(TVersionResource resource);

    QString String(int index) const;
    int Number(int index) const;
    // Eight upper-case hexadecimal digits: language (high half), code page.
    QString TranslationKey() const;
    // "Version %d.%d Build (%d)" with major, minor and build.
    QString VersionLine() const;

private:
    TVersionResource m_resource;
};

// The program's product name ("ProductName"), for window captions.
QString ProductTitle();
