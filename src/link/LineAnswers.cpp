// SPDX-License-Identifier: MIT
#include "LineAnswers.h"

namespace {
QString FirstWord(const QString& line) {
    return line.trimmed().section(u' ', 0, 0, QString::SectionSkipEmpty).toUpper();
}

// Header lines of a parameter file and empty lines: the sensor's error
// answers to them say nothing about the set.
bool IsHeaderLine(const QString& line) {
    const QString word = FirstWord(line);
    return word.isEmpty() || word == u"REM" || word == u"S/N";
}

bool SwitchesEchoOff(const QString& line) {
    return FirstWord(line) == u"ECHO" && line.contains(u'0');
}

// The lines of a block: control characters other than line ends (XON and
// XOFF of the flow control) dropped, CR LF, CR or LF ending a line.
QStringList BlockLines(const QString& block) {
    QString text;
    text.reserve(block.size());
    for (QChar c : block)
        if (c.unicode() >= 0x20 || c == u'\r' || c == u'\n') text += c;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    return text.split(u'\n');
}
} // namespace

bool IsErrorAnswer(const QString& line) {
    const QString t = line.trimmed();
    return t.size() >= 3 && t.at(0) == u'E' && t.at(1).isDigit() && t.at(2).isDigit() &&
           (t.size() == 3 || t.at(3) == u' ');
}

TLineAnswers ReadLineAnswers(const QByteArray& received, const QStringList& sent) {
    TLineAnswers result;
    const QStringList pieces = QString::fromLatin1(received).split(QStringLiteral("->"));
    bool echo = true;
    // The last piece has no prompt yet: its line is not answered completely.
    for (qsizetype b = 0; b + 1 < pieces.size() && result.Confirmed < sent.size(); ++b) {
        const QString& line = sent.at(result.Confirmed);
        QString block = pieces.at(b);
        if (echo) {
            if (result.Confirmed == 0 &&
                FirstWord(BlockLines(block).constFirst()) != FirstWord(line))
                continue;
            // A line that holds the prompt's characters (a remark "alt->neu")
            // has them in its echo too: its block spans as many more pieces.
            const qsizetype inside = line.count(QStringLiteral("->"));
            if (b + inside + 1 >= pieces.size()) break;
            for (qsizetype k = 0; k < inside; ++k)
                block += QStringLiteral("->") + pieces.at(++b);
        }
        QStringList lines = BlockLines(block);
        if (echo) lines.removeFirst(); // the echo
        for (const QString& answer : lines) {
            if (!IsErrorAnswer(answer) || IsHeaderLine(line)) continue;
            result.Refused << result.Confirmed;
            result.RefusedAnswers << answer.trimmed();
            break;
        }
        if (SwitchesEchoOff(line)) echo = false;
        ++result.Confirmed;
    }
    return result;
}
